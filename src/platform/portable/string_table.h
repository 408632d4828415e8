// The module's string table as the portable backend's LoadText serves it:
// the same ids and texts as the resource script. The backend declares what
// it needs here; the module defines the table beside its resource script.
#pragma once

#include <span>

namespace tarnix::platform::portable {

struct StringResource {
  unsigned id;
  const char* text;
};

// Every string of the module, in id order.
std::span<const StringResource> ModuleStrings();

}  // namespace tarnix::platform::portable
