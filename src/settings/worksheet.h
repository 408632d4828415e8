// Worksheet settings in the registry.
#pragma once

#include <cstdint>

namespace tarnix {

int32_t NewWorksheet();
int32_t LoadWorksheet(const char* name);
int32_t SaveWorksheet(const char* name);

}  // namespace tarnix
