// Trace lines to the system debug output. Every line is exact text; the
// formatted ones go through a fixed local buffer like the rest of the module.
#pragma once

#include <cstdio>

#include "platform/platform.h"

namespace tarnix {

inline void Trace(const char* line) { platform::DebugLine(line); }

// Formats into a local buffer of `Size` bytes (truncating, always
// terminated) and writes the result as one trace text.
template <std::size_t Size = 100, typename... Args>
void TraceF(const char* format, Args... args) {
  char buffer[Size];
  std::snprintf(buffer, sizeof buffer, format, args...);
  platform::DebugLine(buffer);
}

}  // namespace tarnix
