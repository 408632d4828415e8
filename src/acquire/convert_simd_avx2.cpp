// ConvertSamples kernel for AVX2: 16 samples per step.
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
#pragma GCC target("avx2")
#define LIBDIVIDE_AVX2
#include <libdivide.h>

namespace tarnix::convert_detail {

namespace {

inline __m256i ClampAndDivide(__m256i value, __m256i low,
                                                               __m256i high,
                                                               const libdivide::libdivide_s32_t* divider) {
  // Valid because low <= high: min first, then max.
  value = _mm256_max_epi32(_mm256_min_epi32(value, high), low);
  const __m256i quotient = libdivide::libdivide_s32_do_vector(value, divider);
  // Low 16 bits, sign-extended, so the saturating pack keeps exactly them.
  return _mm256_srai_epi32(_mm256_slli_epi32(quotient, 16), 16);
}

}  // namespace

void ConvertAvx2(const int32_t* raw, int16_t* codes,
                                                 uint32_t count, int32_t lowLimit,
                                                 int32_t highLimit, const DivisionMagic& magic) {
  const libdivide::libdivide_s32_t divider{magic.magic, magic.more};
  const __m256i low = _mm256_set1_epi32(lowLimit);
  const __m256i high = _mm256_set1_epi32(highLimit);
  uint32_t i = 0;
  for (;;) {
    // The last step moves back to end exactly at `count`, redoing a few
    // samples rather than leaving a scalar tail.
    if (count - i < kAvx2Width) i = count - kAvx2Width;
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + i + 8));
    // The pack interleaves 128-bit lanes; the permute puts them back in order.
    const __m256i packed = _mm256_packs_epi32(ClampAndDivide(a, low, high, &divider),
                                              ClampAndDivide(b, low, high, &divider));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i),
                        _mm256_permute4x64_epi64(packed, 0xD8));
    i += kAvx2Width;
    if (i >= count) break;
  }
}

}  // namespace tarnix::convert_detail

#pragma GCC pop_options
