// Device initialisation, shutdown and error reporting.
#pragma once

#include <cstdint>

namespace tarnix {

int32_t InitDevice(void* record);
int32_t KillDevice();
int32_t ShowError();

}  // namespace tarnix
