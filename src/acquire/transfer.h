// Block transfer to the host and the measurement status record.
#pragma once

#include <cstdint>

#include "abi/meas_info.h"

namespace tarnix {

int32_t GetInputBufStatus();
int16_t* GetInputBuf();
int32_t AdvanceInputBuf();
MeasInfoEx* GetMeasInfoEx();

}  // namespace tarnix
