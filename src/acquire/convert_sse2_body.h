// The SSE2-width conversion kernel: 8 samples per step. Compiled twice,
// by convert_simd_sse2.cpp (legacy SSE encoding) and convert_simd_sse2_vex.cpp
// (the same instructions VEX-encoded), each of which includes this file once
// inside its own target region with TARNIX_SSE2_KERNEL naming the entry.
// No include guard on purpose.
//
// SSE2 has neither 32-bit min/max nor a signed 32-bit high multiply, so
// libdivide's integer division costs about 30 instructions per 4 samples
// here. Doubles do it in half: every reading and every clamp limit is exact
// as a double, and multiplying by the divisor's reciprocal, enlarged by
// 2^-50 of itself (EnlargedReciprocal), lands at or just beyond the
// exact quotient, never below it, and less than 2^-18 beyond it for any
// 32-bit reading and 16-bit divisor. A quotient that is not whole lies at
// least 1/|divisor| >= 2^-15 from the next whole number, so truncation
// gives exactly the integer quotient.
#include <immintrin.h>

#include <cstdint>

#include "acquire/convert_kernels.h"

#ifndef TARNIX_SSE2_KERNEL
#error "define TARNIX_SSE2_KERNEL, the kernel's name, before including this file"
#endif

namespace tarnix::convert_detail {

namespace {

// The divisor's reciprocal enlarged by 2^-50 of itself, in both lanes. The
// enlargement keeps the product at or beyond the exact quotient whatever
// rounding the reciprocal and the product take (the host's SSE rounding
// mode included). Computed in SSE registers: x87 arithmetic, which the
// 32-bit compiler uses for plain doubles, rounds to the precision the host
// application left in the x87 control word, and a host that runs with 24
// bits (Direct3D sets that by default) would get a reciprocal up to 2^-24
// too small, and codes one too low for exact multiples of the divisor.
inline __m128d EnlargedReciprocal(int32_t divisor) {
  const __m128d reciprocal = _mm_div_pd(_mm_set1_pd(1.0), _mm_cvtepi32_pd(_mm_set1_epi32(divisor)));
  return _mm_mul_pd(reciprocal, _mm_set1_pd(1.0 + 0x1p-50));
}

// Four readings clamped, divided and truncated toward zero.
inline __m128i ClampAndDivide(__m128i value, __m128d low, __m128d high, __m128d reciprocal) {
  __m128d first = _mm_cvtepi32_pd(value);
  __m128d second = _mm_cvtepi32_pd(_mm_shuffle_epi32(value, 0xEE));
  // Valid because low <= high: min first, then max.
  first = _mm_mul_pd(_mm_max_pd(_mm_min_pd(first, high), low), reciprocal);
  second = _mm_mul_pd(_mm_max_pd(_mm_min_pd(second, high), low), reciprocal);
  // A quotient of 2^31 (the lowest reading over -1) converts to the
  // indefinite value 0x80000000, whose low 16 bits are the exact ones.
  return _mm_unpacklo_epi64(_mm_cvttpd_epi32(first), _mm_cvttpd_epi32(second));
}

// Four readings divided and truncated toward zero, unclamped: exact for
// every reading, and within 32 bits for a divisor of 3 or more.
inline __m128i Divide(__m128i value, __m128d reciprocal) {
  const __m128d first = _mm_mul_pd(_mm_cvtepi32_pd(value), reciprocal);
  const __m128d second = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(value, 0xEE)), reciprocal);
  return _mm_unpacklo_epi64(_mm_cvttpd_epi32(first), _mm_cvttpd_epi32(second));
}

// Short form: truncated division is monotonic, so clamping the quotient to
// the quotients of the limits equals dividing the clamped reading; the
// saturating pack is monotonic too and leaves those limits as they are, so
// the clamp runs on 16-bit codes, 8 at a time.
void ConvertShort(const int32_t* raw, int16_t* codes, uint32_t count, const DivisionMagic& magic) {
  const __m128d reciprocal = EnlargedReciprocal(magic.divisor);
  const __m128i lowCode = _mm_set1_epi16(magic.lowCode);
  const __m128i highCode = _mm_set1_epi16(magic.highCode);
  uint32_t i = 0;
  for (;;) {
    if (count - i < kSse2Width) i = count - kSse2Width;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i + 4));
    const __m128i packed = _mm_packs_epi32(Divide(a, reciprocal), Divide(b, reciprocal));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + i),
                     _mm_max_epi16(_mm_min_epi16(packed, highCode), lowCode));
    i += kSse2Width;
    if (i >= count) break;
  }
}

// Low 16 bits of each 32-bit lane, sign-extended, so the saturating pack
// keeps exactly those bits.
inline __m128i LowHalves(__m128i value) { return _mm_srai_epi32(_mm_slli_epi32(value, 16), 16); }

}  // namespace

void TARNIX_SSE2_KERNEL(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                        int32_t highLimit, const DivisionMagic& magic) {
  if (magic.shortForm) {
    ConvertShort(raw, codes, count, magic);
    return;
  }
  // Converted in SSE registers too, so the kernel runs no x87 code.
  const __m128d low = _mm_cvtepi32_pd(_mm_set1_epi32(lowLimit));
  const __m128d high = _mm_cvtepi32_pd(_mm_set1_epi32(highLimit));
  const __m128d reciprocal = EnlargedReciprocal(magic.divisor);
  uint32_t i = 0;
  for (;;) {
    // The last step moves back to end exactly at `count`, redoing a few
    // samples rather than leaving a scalar tail.
    if (count - i < kSse2Width) i = count - kSse2Width;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i + 4));
    const __m128i qa = LowHalves(ClampAndDivide(a, low, high, reciprocal));
    const __m128i qb = LowHalves(ClampAndDivide(b, low, high, reciprocal));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + i), _mm_packs_epi32(qa, qb));
    i += kSse2Width;
    if (i >= count) break;
  }
}

}  // namespace tarnix::convert_detail
