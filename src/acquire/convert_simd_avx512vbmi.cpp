// ConvertSamples kernel for AVX-512 with the byte-permute set (VBMI), for
// short-form blocks whose shift is 32 or 40 bits: 32 samples per step.
//
// The low 16 bits of floor(x * multiplier / 2^shift) are two whole bytes of
// the 64-bit product, so one byte permute picks the codes of 16 samples out
// of the products of the even and the odd lanes, already narrowed and in
// order: no shifts, merge, pack or lane permute. Fewer operations than the
// shifting short form (convert_simd_avx512.cpp), which runs the other
// short-form blocks.
#include <immintrin.h>

#include <cstdint>

#include "acquire/convert_kernels.h"
#include "acquire/convert_target.h"

#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

TARNIX_KERNEL_TARGET_BEGIN("avx512f,avx512bw,avx512vl,avx512vbmi")

namespace tarnix::convert_detail {

namespace {

// Byte indices for the permute: code j takes bytes `first` and `first` + 1
// of qword j / 2 of the even products (j even) or of the odd products
// (j odd, index bit 6 chooses the second source). The upper 32 bytes of the
// result are not used.
__m512i CodeBytes(int first) {
  alignas(64) uint8_t index[64] = {};
  for (int j = 0; j < 16; ++j) {
    const int byte = (j / 2) * 8 + first + (j % 2 == 1 ? 64 : 0);
    index[2 * j] = static_cast<uint8_t>(byte);
    index[2 * j + 1] = static_cast<uint8_t>(byte + 1);
  }
  return _mm512_load_si512(index);
}

// 16 readings clamped and divided; 16 codes. Inside the window the floor
// quotient is within 16 bits and the truncated one is 1 above it for
// negative readings; the low 16 bits of both are what the codes keep.
inline __m256i Codes(const int32_t* raw, __m512i low, __m512i high, __m512i multiplier,
                     __m512i bytes) {
  const __m512i value = _mm512_max_epi32(_mm512_min_epi32(_mm512_loadu_si512(raw), high), low);
  const __m512i even = _mm512_mul_epi32(value, multiplier);
  const __m512i odd = _mm512_mul_epi32(_mm512_shuffle_epi32(value, _MM_PERM_CDAB), multiplier);
  const __m256i floor = _mm512_castsi512_si256(_mm512_permutex2var_epi8(even, bytes, odd));
  const __mmask16 negative = _mm512_cmplt_epi32_mask(value, _mm512_setzero_si512());
  return _mm256_mask_sub_epi16(floor, negative, floor, _mm256_set1_epi16(-1));
}

}  // namespace

void ConvertAvx512Vbmi(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                       int32_t highLimit, const DivisionMagic& magic) {
  const __m512i low = _mm512_set1_epi32(lowLimit);
  const __m512i high = _mm512_set1_epi32(highLimit);
  const __m512i multiplier = _mm512_set1_epi32(magic.multiplier);
  const __m512i bytes = CodeBytes(magic.shift / 8);
  uint32_t i = 0;
  for (;;) {
    // The last step moves back to end exactly at `count`, redoing a few
    // samples rather than leaving a scalar tail.
    if (count - i < kAvx512Width) i = count - kAvx512Width;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i),
                        Codes(raw + i, low, high, multiplier, bytes));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i + 16),
                        Codes(raw + i + 16, low, high, multiplier, bytes));
    i += kAvx512Width;
    if (i >= count) break;
  }
}

}  // namespace tarnix::convert_detail

TARNIX_KERNEL_TARGET_END()
