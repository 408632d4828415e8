// The rows of the board library's import list, from which the build makes
// the import library tarnix.dll links against: the preprocessor runs over
// this file and each "TARNIX_DEF_ROW name symbol bytes" becomes one import
// (cmake/TarnixDefFiles.cmake).
#include "abi/board_entries.h"

#define TARNIX_DEF_VELQ(name, params, bytes) TARNIX_DEF_ROW VELQ_##name VELQ_##name bytes
TARNIX_BOARD_FUNCTIONS(TARNIX_DEF_VELQ)
