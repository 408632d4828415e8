// ConvertSamples kernel for SSE2, which every processor running the 32-bit
// DLL has: 8 samples per step.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include <immintrin.h>

#include "acquire/convert_kernels.h"

// The whole file, libdivide's inline functions included, is compiled for
// one instruction set through this one pragma. Functions whose target
// options differ in any way are not inlined into each other (the 32-bit
// mingw compiler counted a target attribute and this pragma as different),
// and a libdivide call per vector costs the kernel most of its speed.
// libdivide's functions have internal linkage, so no other file sees these
// copies.
#pragma GCC push_options
#pragma GCC target("sse2")
#define LIBDIVIDE_SSE2
#include <libdivide.h>

namespace tarnix::convert_detail {

namespace {

// SSE2 has no 32-bit min/max: select through a comparison mask.
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

inline __m128i ClampAndDivide(__m128i value, __m128i low,
                                                               __m128i high,
                                                               const libdivide::libdivide_s32_t* divider) {
  value = Select(_mm_cmpgt_epi32(value, high), high, value);
  value = Select(_mm_cmpgt_epi32(low, value), low, value);
  return libdivide::libdivide_s32_do_vector(value, divider);
}

// Low 16 bits of each 32-bit lane, sign-extended, so the saturating pack
// keeps exactly those bits.
inline __m128i LowHalves(__m128i value) {
  return _mm_srai_epi32(_mm_slli_epi32(value, 16), 16);
}

}  // namespace

void ConvertSse2(const int32_t* raw, int16_t* codes,
                                                 uint32_t count, int32_t lowLimit,
                                                 int32_t highLimit, const DivisionMagic& magic) {
  const libdivide::libdivide_s32_t divider{magic.magic, magic.more};
  const __m128i low = _mm_set1_epi32(lowLimit);
  const __m128i high = _mm_set1_epi32(highLimit);
  uint32_t i = 0;
  for (;;) {
    // The last step moves back to end exactly at `count`, redoing a few
    // samples rather than leaving a scalar tail.
    if (count - i < kSse2Width) i = count - kSse2Width;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i + 4));
    const __m128i qa = LowHalves(ClampAndDivide(a, low, high, &divider));
    const __m128i qb = LowHalves(ClampAndDivide(b, low, high, &divider));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + i), _mm_packs_epi32(qa, qb));
    i += kSse2Width;
    if (i >= count) break;
  }
}

}  // namespace tarnix::convert_detail

#pragma GCC pop_options
