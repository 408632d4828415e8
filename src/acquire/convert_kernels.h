// The vector kernels behind ConvertSamples, one per instruction set, each in
// its own translation unit compiled for that set only.
#pragma once

#include <cstdint>

namespace tarnix::convert_detail {

// The block's divisor in the forms the kernels divide by: libdivide's signed
// 32-bit divider (libdivide_s32_gen), and the divisor itself, which the
// floating-point kernel turns into its reciprocal (see convert_simd_sse2.cpp).
//
// Blocks whose divisor is at least 3 and whose quotients of both limits fit
// 16 bits (every range the boards give) also get the short form
// (`shortForm` true): `multiplier` = floor(2^shift / divisor) + 1 with
// 32 <= shift <= 47 and 2^shift > max(|lowLimit|, |highLimit|) * divisor,
// multiplier < 2^31 (32 or 40 where those qualify: the low 16 bits of the
// quotient are then two whole bytes of the product). For every clamped reading x, floor(x *
// multiplier / 2^shift) is the truncated quotient, less 1 when x is negative: the error x *
// (multiplier * divisor - 2^shift) / 2^shift is below 1/divisor in magnitude, positive for positive
// x, negative for negative x. The quotients of the limits (`lowCode`, `highCode`) bound every code
// of the block, so a saturating pack keeps them exactly and codes can be clamped after the
// division.
struct DivisionMagic {
  int32_t magic;
  uint8_t more;
  int32_t divisor;
  bool shortForm;
  int32_t multiplier;
  int32_t shift;
  int16_t lowCode;
  int16_t highCode;
};

// Converts `count` samples, count >= the kernel's width. Requires
// lowLimit <= highLimit and a nonzero divisor. The last vector may overlap
// the one before it (it rewrites the same codes).
using Kernel = void (*)(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                        int32_t highLimit, const DivisionMagic& magic);

void ConvertSse2(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
// The same kernel VEX-encoded; needs AVX.
void ConvertSse2Vex(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
void ConvertAvx2(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
void ConvertAvx512(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);
// Short-form blocks with a shift of 32 or 40 only; needs avx512vbmi.
void ConvertAvx512Vbmi(const int32_t*, int16_t*, uint32_t, int32_t, int32_t, const DivisionMagic&);

inline constexpr uint32_t kSse2Width = 8;
inline constexpr uint32_t kAvx2Width = 16;
inline constexpr uint32_t kAvx512Width = 32;

}  // namespace tarnix::convert_detail
