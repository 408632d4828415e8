// Per-channel signal generators: the value an analog input reads at a time.
#pragma once

#include <cstdint>

#include "board_model.h"

namespace velqsim {

// Microvolts of `signal` at `seconds` after the scan started, rounded to the
// nearest microvolt and saturated to the int32 range. `scanIndex` is the
// number of the scan the sample belongs to (what sequence and
// sample-by-sample replay count in); `seed` separates the noise of different
// channels. The value depends on nothing else, so a test can recompute any
// delivered sample.
int32_t SignalValue(const SignalSpec& signal, double seconds, uint64_t scanIndex, uint32_t seed);

// Value k of a sequence: -window + (k mod period) * step, where the period is
// the number of steps that stay within +window. `step` must be positive.
int32_t SequenceValue(int32_t window, int32_t step, uint64_t k);

}  // namespace velqsim
