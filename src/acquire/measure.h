// Settings check, start and stop of the analog-input scan.
#pragma once

#include <cstdint>

namespace tarnix {

int32_t TestStruct();
int32_t StartMeas();
int32_t StartAD();
int32_t CheckBits(uint32_t mask);
int32_t StopMeas();

}  // namespace tarnix
