#include "driver_api.h"

#include <cstring>

namespace host {

std::vector<std::string> ResolveDriverApi(const LoadedLibrary& library, DriverApi* api) {
  std::vector<std::string> missing;
  // memcpy keeps the object-to-function pointer conversion well defined on
  // both platforms.
  auto resolve = [&](const char* name, auto* slot) {
    void* address = library.Symbol(name);
    if (address == nullptr) {
      missing.emplace_back(name);
      return;
    }
    static_assert(sizeof *slot == sizeof address);
    std::memcpy(slot, &address, sizeof address);
  };
#define TARNIX_RESOLVE(name, ...) resolve("DRV_" #name, &api->name);
  TARNIX_DRIVER_ENTRIES(TARNIX_RESOLVE, TARNIX_RESOLVE)
#undef TARNIX_RESOLVE
  return missing;
}

}  // namespace host
