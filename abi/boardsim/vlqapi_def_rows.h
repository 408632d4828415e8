// The rows of the simulated board library's export list: the board library's
// functions and the stand-in's controls. The build runs the preprocessor over
// this file and each "TARNIX_DEF_ROW name symbol bytes" becomes one export
// (cmake/TarnixDefFiles.cmake).
#include "abi/board_entries.h"

#define TARNIX_DEF_VELQ(name, params, bytes) TARNIX_DEF_ROW VELQ_##name VELQ_##name bytes
TARNIX_BOARD_FUNCTIONS(TARNIX_DEF_VELQ)

#define VELQSIM_API(name, params, bytes) TARNIX_DEF_ROW VELQSIM_##name VELQSIM_##name bytes
#include "abi/velqsim.h"
