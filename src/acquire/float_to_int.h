// Truncating conversions of the host's doubles to integers, with the result
// the x86 conversion instructions give where C++ leaves it undefined.
//
// The 32-bit DLL was built around the processor's truncating conversions:
// NaN, infinities and values outside the integer's range give the 'integer
// indefinite' value (the lowest integer of the width). These helpers produce
// exactly that on every build, so the native build agrees with the DLL and
// the sanitizers stay quiet.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tarnix {

// Truncation toward zero to 64 bits; INT64_MIN for NaN, infinities and
// anything outside [-2^63, 2^63).
inline int64_t TruncateToInt64(double value) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(value >= -kTwoTo63 && value < kTwoTo63)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

// Truncation toward zero to 32 bits; INT32_MIN for NaN, infinities and
// anything whose truncation lies outside [-2^31, 2^31).
inline int32_t TruncateToInt32(double value) {
  constexpr double kTwoTo31 = 2147483648.0;
  // -2^31 - 0.5 truncates to -2^31, which still fits.
  if (!(value > -kTwoTo31 - 1.0 && value < kTwoTo31)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Low 32 bits of a 64-bit value, as a two's-complement number.
inline uint32_t LowBits32(int64_t value) {
  return static_cast<uint32_t>(static_cast<uint64_t>(value));
}

// Low 16 bits of a 32-bit value, as a signed 16-bit number.
inline int16_t LowBits16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

// 32-bit product that wraps like the processor's multiply.
inline int32_t WrappingMultiply(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace tarnix
