// ConvertSamples kernel for SSE2 in its legacy encoding, for processors
// without AVX (every processor running the 32-bit DLL has SSE2): the kernel
// of convert_sse2_body.h, 8 samples per step.
#include <immintrin.h>

#include <cstdint>

#include "acquire/convert_kernels.h"
#include "acquire/convert_target.h"

TARNIX_KERNEL_TARGET_BEGIN("sse2")
#define TARNIX_SSE2_KERNEL ConvertSse2
#include "acquire/convert_sse2_body.h"
TARNIX_KERNEL_TARGET_END()
