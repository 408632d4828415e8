// The module's exported entry points, declared from the export table
// (abi/driver_entries.h). Every one uses the standard Windows calling
// convention; names that share one routine are aliases (the .def file for
// the DLL, alias attributes natively).
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "abi/calling.h"
#include "abi/driver_entries.h"

extern "C" {

#define TARNIX_DECLARE_ENTRY(name, result, params, bytes, routine) \
  TARNIX_EXPORT result TARNIX_WINAPI DRV_##name params;
TARNIX_DRIVER_ENTRIES(TARNIX_DECLARE_ENTRY, TARNIX_DECLARE_ENTRY)
#undef TARNIX_DECLARE_ENTRY

}  // extern "C"

namespace tarnix::abi {

// Every export name, in table order, and the names of the routines.
inline constexpr std::string_view kDriverEntryNames[] = {
#define TARNIX_NAME_ENTRY(name, ...) "DRV_" #name,
    TARNIX_DRIVER_ENTRIES(TARNIX_NAME_ENTRY, TARNIX_NAME_ENTRY)
#undef TARNIX_NAME_ENTRY
};
inline constexpr int kDriverEntryCount = static_cast<int>(std::size(kDriverEntryNames));

inline constexpr std::string_view kDriverRoutineNames[] = {
#define TARNIX_NAME_ROUTINE(name, ...) #name,
#define TARNIX_SKIP_SHARED(...)
    TARNIX_DRIVER_ENTRIES(TARNIX_NAME_ROUTINE, TARNIX_SKIP_SHARED)
#undef TARNIX_NAME_ROUTINE
#undef TARNIX_SKIP_SHARED
};

constexpr bool IsDriverRoutine(std::string_view name) {
  for (std::string_view routine : kDriverRoutineNames) {
    if (routine == name) return true;
  }
  return false;
}

constexpr bool DriverEntriesInOrdinalOrder() {
  for (int i = 1; i < kDriverEntryCount; ++i) {
    if (!(kDriverEntryNames[i - 1] < kDriverEntryNames[i])) return false;
  }
  return true;
}
static_assert(
    DriverEntriesInOrdinalOrder(),
    "export table rows must stay in alphabetical order of their names: the ordinals follow it");

// A row's argument bytes are what its arguments take on the 32-bit stack; a
// routine of its own is named by its own row; a shared routine is another
// row's (one with a routine of its own), with the same result and arguments.
#define TARNIX_CHECK_OWN(name, result, params, bytes, routine)                                \
  static_assert(kStackArgumentBytes<result params> == bytes, "argument bytes of DRV_" #name); \
  static_assert(std::string_view(#name) == #routine, "DRV_" #name " is served by itself");
#define TARNIX_CHECK_SHARED(name, result, params, bytes, routine)                             \
  static_assert(kStackArgumentBytes<result params> == bytes, "argument bytes of DRV_" #name); \
  static_assert(std::string_view(#name) != #routine, "DRV_" #name " shares another routine"); \
  static_assert(IsDriverRoutine(#routine),                                                    \
                "DRV_" #name ": DRV_" #routine " has no routine of its own");                 \
  static_assert(std::is_same_v<decltype(DRV_##name), decltype(DRV_##routine)>,                \
                "DRV_" #name " has the signature of DRV_" #routine);
TARNIX_DRIVER_ENTRIES(TARNIX_CHECK_OWN, TARNIX_CHECK_SHARED)
#undef TARNIX_CHECK_OWN
#undef TARNIX_CHECK_SHARED

}  // namespace tarnix::abi
