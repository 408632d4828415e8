// The SSE2-width kernel of convert_sse2_body.h compiled for AVX: the same
// 128-bit instructions, VEX-encoded, for every processor that has AVX.
//
// While the upper half of a vector register holds anything but zero (left
// by AVX code elsewhere in the process that skipped `vzeroupper`),
// legacy-encoded SSE instructions can run several times slower: on an
// AVX-512 processor the legacy kernel took about 55 us for 65535 samples in
// that state against 10.5 us outside it, in 32- and 64-bit code alike, and
// on some processors 32-bit code stays in that state even after
// `vzeroupper`. A VEX-encoded instruction zeroes the upper half of the
// register it writes instead of keeping it, so it does not depend on it.
// The arithmetic is the same instruction for instruction: the AVX target
// adds no fused multiply-add (that is FMA's set), so the compiler cannot
// contract the reciprocal's multiplications.
#include <immintrin.h>

#include <cstdint>

#include "acquire/convert_kernels.h"
#include "acquire/convert_target.h"

TARNIX_KERNEL_TARGET_BEGIN("avx")
#define TARNIX_SSE2_KERNEL ConvertSse2Vex
#include "acquire/convert_sse2_body.h"
TARNIX_KERNEL_TARGET_END()
