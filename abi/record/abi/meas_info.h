// MeasInfoEx: the status record whose address DRV_GetMeasInfoEx hands out.
// The module owns it; the host reads it by offset between calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnix {

inline constexpr int32_t kMeasInfoMeasuring = 0x10000;  // stateWord while measuring

struct MeasInfoEx {
  int32_t stateWord;        // 0: kMeasInfoMeasuring while measuring, else 0
  uint32_t reserved4[4];    // 4..19: always 0
  uint32_t fillPercent;     // 20: samples waiting x 100 / saved buffer size
  uint32_t reserved24[10];  // 24..63: always 0
};
static_assert(offsetof(MeasInfoEx, stateWord) == 0);
static_assert(offsetof(MeasInfoEx, fillPercent) == 20);
static_assert(sizeof(MeasInfoEx) == 64);

}  // namespace tarnix
