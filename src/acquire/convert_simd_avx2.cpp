// ConvertSamples kernel for AVX2: 16 samples per step.
#include <immintrin.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "acquire/convert_kernels.h"
#include "acquire/convert_target.h"

// libdivide is included inside the target region, so its vector division
// inlines into the kernel. Its functions have internal linkage: no other
// file sees these copies.
TARNIX_KERNEL_TARGET_BEGIN("avx2")
#define LIBDIVIDE_AVX2
#include <libdivide.h>

namespace tarnix::convert_detail {

namespace {

inline __m256i ClampAndDivide(__m256i value, __m256i low, __m256i high,
                              const libdivide::libdivide_s32_t* divider) {
  // Valid because low <= high: min first, then max.
  value = _mm256_max_epi32(_mm256_min_epi32(value, high), low);
  const __m256i quotient = libdivide::libdivide_s32_do_vector(value, divider);
  // Low 16 bits, sign-extended, so the saturating pack keeps exactly them.
  return _mm256_srai_epi32(_mm256_slli_epi32(quotient, 16), 16);
}

// Short form with a shift of 32 or 40 bits (see DivisionMagic): the low 16
// bits of floor(x * multiplier / 2^shift) are two whole bytes of the 64-bit
// product. A byte shuffle of the even products and one of the odd ones put
// the codes of 8 clamped readings, in order, into the low 8 bytes of each
// 128-bit lane. The truncation fix (1 more for negative readings) waits
// for the codes.
inline __m256i FloorCodes(__m256i value, __m256i multiplier, __m256i evenBytes, __m256i oddBytes) {
  const __m256i even = _mm256_mul_epi32(value, multiplier);
  const __m256i odd = _mm256_mul_epi32(_mm256_shuffle_epi32(value, 0xB1), multiplier);
  return _mm256_or_si256(_mm256_shuffle_epi8(even, evenBytes), _mm256_shuffle_epi8(odd, oddBytes));
}

// Shuffle indices: in each 128-bit lane, code 2t takes bytes `first` and
// `first` + 1 of qword t of the even products, code 2t + 1 the same of the
// odd ones; every other byte is zeroed (index bit 7).
__m256i ShortFormBytes(int first, bool odd) {
  alignas(32) uint8_t index[32];
  for (int lane = 0; lane < 2; ++lane) {
    for (int k = 0; k < 16; ++k) index[lane * 16 + k] = 0x80;
    for (int t = 0; t < 2; ++t) {
      const int code = 2 * t + (odd ? 1 : 0);
      index[lane * 16 + 2 * code] = static_cast<uint8_t>(t * 8 + first);
      index[lane * 16 + 2 * code + 1] = static_cast<uint8_t>(t * 8 + first + 1);
    }
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(index));
}

void ConvertShort(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                  int32_t highLimit, const DivisionMagic& magic) {
  const __m256i low = _mm256_set1_epi32(lowLimit);
  const __m256i high = _mm256_set1_epi32(highLimit);
  const __m256i multiplier = _mm256_set1_epi32(magic.multiplier);
  const __m256i evenBytes = ShortFormBytes(magic.shift / 8, false);
  const __m256i oddBytes = ShortFormBytes(magic.shift / 8, true);
  uint32_t i = 0;
  for (;;) {
    if (count - i < kAvx2Width) i = count - kAvx2Width;
    const __m256i a = _mm256_max_epi32(
        _mm256_min_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + i)), high), low);
    const __m256i b = _mm256_max_epi32(
        _mm256_min_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + i + 8)), high),
        low);
    // Codes 0-3 and 8-11 in the low lane, 4-7 and 12-15 in the high one;
    // the pack of the readings (their signs survive the saturation) has
    // the same order.
    const __m256i floor = _mm256_unpacklo_epi64(FloorCodes(a, multiplier, evenBytes, oddBytes),
                                                FloorCodes(b, multiplier, evenBytes, oddBytes));
    const __m256i negative = _mm256_cmpgt_epi16(_mm256_setzero_si256(), _mm256_packs_epi32(a, b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i),
                        _mm256_permute4x64_epi64(_mm256_sub_epi16(floor, negative), 0xD8));
    i += kAvx2Width;
    if (i >= count) break;
  }
}

}  // namespace

void ConvertAvx2(const int32_t* raw, int16_t* codes, uint32_t count, int32_t lowLimit,
                 int32_t highLimit, const DivisionMagic& magic) {
  if (magic.shortForm && magic.shift % 8 == 0) {
    ConvertShort(raw, codes, count, lowLimit, highLimit, magic);
    return;
  }
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

TARNIX_KERNEL_TARGET_END()
