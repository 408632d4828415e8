// The vector kernels behind ConvertSamples, one per instruction set, each in
// its own translation unit compiled for that set only.
#pragma once

#include <cstdint>

namespace tarnix::convert_detail {

// The block's divisor in the forms the kernels divide by: libdivide's signed
// 32-bit divider (libdivide_s32_gen), and for the floating-point kernel the
// reciprocal enlarged by 2^-50 of itself (see convert_simd_sse2.cpp).
struct DivisionMagic {
  int32_t magic;
  uint8_t more;
  double reciprocal;
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
