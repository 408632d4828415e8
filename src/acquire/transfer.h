// Block transfer to the host and the measurement status record.
#pragma once

#include <cstdint>

namespace tarnix {

// The status record whose address DRV_GetMeasInfoEx hands out.
struct MeasInfoEx {
  int32_t stateWord;        // 0: 0x10000 while measuring
  uint32_t reserved4[4];    // 4..19: always 0
  uint32_t fillPercent;     // 20: samples waiting x 100 / saved buffer size
  uint32_t reserved24[10];  // 24..63: always 0
};
static_assert(sizeof(MeasInfoEx) == 64);

int32_t GetInputBufStatus();
int16_t* GetInputBuf();
int32_t AdvanceInputBuf();
MeasInfoEx* GetMeasInfoEx();

}  // namespace tarnix
