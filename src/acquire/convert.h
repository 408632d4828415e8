// Conversion of a block of raw board samples (signed 32-bit microvolts) into
// the host's signed 12-bit code scale, stored as 16-bit values.
//
// Per block, the input range of channel entry 0 gives a clamp window and a
// divisor (BlockScale); per sample, the reading is clamped to the window and
// divided by the divisor, truncating toward zero, and the low 16 bits of the
// quotient are stored. ConvertSamplesReference is the plain per-sample loop;
// ConvertSamples gives bit-identical results with vector code chosen once
// from the processor's features.
#pragma once

#include <cstdint>

namespace tarnix {

struct BlockScale {
  int32_t lowLimit;   // microvolts; readings below read as this
  int32_t highLimit;  // microvolts; readings above read as this
  int16_t divisor;    // microvolts per code step; 0 when the range is under 1 V
};

// The window and divisor for an input range given in volts: whole volts
// (fraction dropped, low 16 bits), times 1000000 wrapping in 32 bits, and
// highLimit / 2047 cut to 16 bits.
BlockScale ScaleForRange(double minValue, double maxValue);

// One sample. A zero divisor stores 0 (a range below one whole volt has no
// code scale); a divisor of -1 stores the low 16 bits of the exact quotient,
// which for the lowest 32-bit reading is 0.
int16_t ConvertSample(int32_t raw, const BlockScale& scale);

// The straightforward loop: clamp and divide sample by sample.
void ConvertSamplesReference(const int32_t* raw, int16_t* codes, uint32_t count,
                             const BlockScale& scale);

// Same results as ConvertSamplesReference, vectorised. `raw` and `codes`
// must not overlap.
void ConvertSamples(const int32_t* raw, int16_t* codes, uint32_t count, const BlockScale& scale);

// The conversion paths by name, in the order ConvertSamples prefers them:
// AVX-512 with the byte-permute set (VBMI) for the blocks that kernel takes,
// AVX-512 (F and BW), AVX2, the SSE2 kernel VEX-encoded (needs AVX), the
// same kernel in its legacy SSE2 encoding, and the plain loop.
inline constexpr const char* kConversionPaths[] = {"avx512vbmi", "avx512", "avx2",
                                                   "sse2-vex",   "sse2",   "scalar"};

// Which path ConvertSamples uses on this processor: the first of
// kConversionPaths the processor has, with the operating system saving the
// registers it needs.
const char* ConversionPathName();

// Forces one path of kConversionPaths for tests and benchmarks, or the
// automatic choice for nullptr. Returns false, changing nothing, when the
// processor lacks that path or the name is none of them.
bool ForceConversionPath(const char* name);

}  // namespace tarnix
