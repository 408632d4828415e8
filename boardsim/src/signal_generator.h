// Per-channel signal generators: the value an analog input reads at a time.
#pragma once

#include <cstdint>

#include "board_model.h"

namespace velqsim {

// Microvolts of `signal` at `seconds` after the scan started, rounded to the
// nearest microvolt and saturated to the int32 range. `seed` separates the
// noise of different channels; the value depends on nothing else, so a test
// can recompute any delivered sample.
int32_t SignalValue(const SignalSpec& signal, double seconds, uint32_t seed);

}  // namespace velqsim
