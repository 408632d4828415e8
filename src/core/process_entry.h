// Process attach and detach of the module.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tarnix {

inline constexpr uint32_t kProcessDetach = 0;
inline constexpr uint32_t kProcessAttach = 1;
inline constexpr uint32_t kThreadAttach = 2;
inline constexpr uint32_t kThreadDetach = 3;

// The library's entry routine, called by the system (the Windows DllMain, or
// the shared object's load and unload hooks) with the module's instance and a
// reason code. Answers 1, or 0 to refuse a second process attach.
int ProcessEntry(platform::ModuleHandle instance, uint32_t reason);

}  // namespace tarnix
