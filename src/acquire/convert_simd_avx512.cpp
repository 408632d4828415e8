// ConvertSamples kernel for AVX-512 (foundation set only): 32 samples per
// step.
#include <immintrin.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "acquire/convert_kernels.h"
#include "acquire/convert_target.h"

// GCC 12's AVX-512 headers start some intrinsics from a deliberately
// undefined register value and then warn about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// libdivide is included inside the target region, so its vector division
// inlines into the kernel. Its functions have internal linkage: no other
// file sees these copies.
TARNIX_KERNEL_TARGET_BEGIN("avx512f,avx512bw")
#define LIBDIVIDE_AVX512
#include <libdivide.h>

namespace tarnix::convert_detail {

namespace {

inline __m256i ConvertVector(__m512i value, __m512i low, __m512i high,
                             const libdivide::libdivide_s32_t* divider) {
  // Valid because low <= high: min first, then max.
  value = _mm512_max_epi32(_mm512_min_epi32(value, high), low);
  // The narrowing move keeps the low 16 bits of each quotient.
  return _mm512_cvtepi32_epi16(libdivide::libdivide_s32_do_vector(value, divider));
}

// Short form (see DivisionMagic): 64-bit products of the even and the odd
// lanes, each shifted so that floor(x * multiplier / 2^shift) lands in its
// own 32-bit lane, merged, and the truncation fixed for negative readings.
inline __m512i DivideShort(__m512i value, __m512i low, __m512i high, __m512i multiplier,
                           __m512i evenShift, __m512i oddShift) {
  value = _mm512_max_epi32(_mm512_min_epi32(value, high), low);
  const __m512i even = _mm512_srav_epi64(_mm512_mul_epi32(value, multiplier), evenShift);
  // Shifts and products share one execution port; the odd readings move
  // down with a shuffle and the negative ones are found by a compare, which
  // run on another.
  const __m512i odd = _mm512_srav_epi64(
      _mm512_mul_epi32(_mm512_shuffle_epi32(value, _MM_PERM_CDAB), multiplier), oddShift);
  const __m512i floor = _mm512_mask_blend_epi32(0xAAAA, even, odd);
  const __mmask16 negative = _mm512_cmplt_epi32_mask(value, _mm512_setzero_si512());
  return _mm512_mask_sub_epi32(floor, negative, floor, _mm512_set1_epi32(-1));
}

// Every code fits 16 bits: a pack of two vectors and one lane permute per
// 32 codes instead of two narrowing moves.
void ConvertShort(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                  int32_t highLimit, const DivisionMagic& magic) {
  const __m512i low = _mm512_set1_epi32(lowLimit);
  const __m512i high = _mm512_set1_epi32(highLimit);
  const __m512i multiplier = _mm512_set1_epi32(magic.multiplier);
  const __m512i evenShift = _mm512_set1_epi64(magic.shift);
  const __m512i oddShift = _mm512_set1_epi64(magic.shift - 32);
  const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
  uint32_t i = 0;
  for (;;) {
    if (count - i < kAvx512Width) i = count - kAvx512Width;
    const __m512i a = _mm512_loadu_si512(raw + i);
    const __m512i b = _mm512_loadu_si512(raw + i + 16);
    const __m512i packed =
        _mm512_packs_epi32(DivideShort(a, low, high, multiplier, evenShift, oddShift),
                           DivideShort(b, low, high, multiplier, evenShift, oddShift));
    _mm512_storeu_si512(codes + i, _mm512_permutexvar_epi64(order, packed));
    i += kAvx512Width;
    if (i >= count) break;
  }
}

}  // namespace

void ConvertAvx512(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                   int32_t highLimit, const DivisionMagic& magic) {
  if (magic.shortForm) {
    ConvertShort(raw, codes, count, lowLimit, highLimit, magic);
    return;
  }
  const libdivide::libdivide_s32_t divider{magic.magic, magic.more};
  const __m512i low = _mm512_set1_epi32(lowLimit);
  const __m512i high = _mm512_set1_epi32(highLimit);
  uint32_t i = 0;
  for (;;) {
    // The last step moves back to end exactly at `count`, redoing a few
    // samples rather than leaving a scalar tail.
    if (count - i < kAvx512Width) i = count - kAvx512Width;
    const __m512i a = _mm512_loadu_si512(raw + i);
    const __m512i b = _mm512_loadu_si512(raw + i + 16);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i),
                        ConvertVector(a, low, high, &divider));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i + 16),
                        ConvertVector(b, low, high, &divider));
    i += kAvx512Width;
    if (i >= count) break;
  }
}

}  // namespace tarnix::convert_detail

TARNIX_KERNEL_TARGET_END()
