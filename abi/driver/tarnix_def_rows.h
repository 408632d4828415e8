// The rows of tarnix.def: the build runs the preprocessor over this file and
// writes one export per "TARNIX_DEF_ROW name symbol bytes" it finds
// (cmake/TarnixDefFiles.cmake).
#include "abi/driver_entries.h"

#define TARNIX_DEF_ENTRY(name, result, params, bytes, routine) \
  TARNIX_DEF_ROW DRV_##name DRV_##routine bytes
TARNIX_DRIVER_ENTRIES(TARNIX_DEF_ENTRY, TARNIX_DEF_ENTRY)
