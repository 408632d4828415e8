// The module's entry points as the host calls them, resolved by name from
// the loaded library. One slot per row of the module's export table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/driver_exports.h"
#include "os.h"

namespace host {

// DriverApi::InitDevice is the address of DRV_InitDevice, and so on.
struct DriverApi {
#define TARNIX_API_SLOT(name, result, params, bytes, routine) \
  result(TARNIX_WINAPI* name) params = nullptr;
  TARNIX_DRIVER_ENTRIES(TARNIX_API_SLOT, TARNIX_API_SLOT)
#undef TARNIX_API_SLOT
};

inline constexpr int kEntryPointCount = tarnix::abi::kDriverEntryCount;

// Resolves every entry point; answers the names the library lacks (empty
// when all are there). Entries that are missing stay nullptr.
std::vector<std::string> ResolveDriverApi(const LoadedLibrary& library, DriverApi* api);

}  // namespace host
