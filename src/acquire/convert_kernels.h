// The vector kernels behind ConvertSamples, one per instruction set, each in
// its own translation unit compiled for that set only.
#pragma once

#include <cstdint>

namespace tarnix::convert_detail {

// libdivide's signed 32-bit divider, as produced by libdivide_s32_gen.
struct DivisionMagic {
  int32_t magic;
  uint8_t more;
};

// Converts `count` samples, count >= the kernel's width. Requires
// lowLimit <= highLimit and a nonzero divisor. The last vector may overlap
// the one before it (it rewrites the same codes).
using Kernel = void (*)(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                        int32_t highLimit, const DivisionMagic& magic);

void ConvertSse2(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
void ConvertAvx2(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
void ConvertAvx512(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);

inline constexpr uint32_t kSse2Width = 8;
inline constexpr uint32_t kAvx2Width = 16;
inline constexpr uint32_t kAvx512Width = 32;

}  // namespace tarnix::convert_detail
