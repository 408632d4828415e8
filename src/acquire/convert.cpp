#include "acquire/convert.h"

#include <libdivide.h>

#include <cstring>
#include <iterator>

#include "acquire/convert_kernels.h"
#include "acquire/float_to_int.h"

namespace tarnix {

namespace {

using convert_detail::DivisionMagic;
using convert_detail::Kernel;

constexpr int32_t kMicrovoltsPerVolt = 1000000;
// The upper range limit reads 2047 on the 12-bit code scale.
constexpr int32_t kFullScaleCode = 2047;

struct ConversionPath {
  const char* name;
  Kernel kernel;  // nullptr: the plain loop
  // Short-form blocks with a whole-byte shift, where the path has a kernel
  // of its own for them; nullptr: `kernel` takes them too.
  Kernel byteShiftKernel;
  uint32_t width;
  bool (*supported)();  // after __builtin_cpu_init
};

// libgcc's checks include the operating system's side (XGETBV): a set whose
// registers the system does not save counts as absent.
bool HasAvx512() { return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"); }

// kConversionPaths' order, fastest first. The AVX-512 kernel packs its codes
// with the byte-and-word set, which every AVX-512 processor but the Xeon Phi
// has; those run the AVX2 path.
constexpr ConversionPath kPaths[] = {
    {kConversionPaths[0], convert_detail::ConvertAvx512, convert_detail::ConvertAvx512Vbmi,
     convert_detail::kAvx512Width,
     [] {
       return HasAvx512() && __builtin_cpu_supports("avx512vl") &&
              __builtin_cpu_supports("avx512vbmi");
     }},
    {kConversionPaths[1], convert_detail::ConvertAvx512, nullptr, convert_detail::kAvx512Width,
     HasAvx512},
    {kConversionPaths[2], convert_detail::ConvertAvx2, nullptr, convert_detail::kAvx2Width,
     [] { return __builtin_cpu_supports("avx2") != 0; }},
    {kConversionPaths[3], convert_detail::ConvertSse2Vex, nullptr, convert_detail::kSse2Width,
     [] { return __builtin_cpu_supports("avx") != 0; }},
    {kConversionPaths[4], convert_detail::ConvertSse2, nullptr, convert_detail::kSse2Width,
     [] { return __builtin_cpu_supports("sse2") != 0; }},
    {kConversionPaths[5], nullptr, nullptr, 0, [] { return true; }},
};
static_assert(std::size(kPaths) == std::size(kConversionPaths));

bool Supports(const ConversionPath& path) {
  __builtin_cpu_init();
  return path.supported();
}

const ConversionPath* BestPath() {
  for (const ConversionPath& path : kPaths) {
    if (Supports(path)) return &path;
  }
  return &kPaths[std::size(kPaths) - 1];
}

// Chosen on first use; the host calls on one thread.
const ConversionPath* g_path = nullptr;

const ConversionPath& CurrentPath() {
  if (g_path == nullptr) g_path = BestPath();
  return *g_path;
}

// Divisor -1: the quotient is the negated reading, formed on unsigned bits
// so that the lowest reading wraps to itself (low 16 bits 0) instead of
// overflowing.
int16_t NegatedCode(int32_t value) {
  return LowBits16(static_cast<int32_t>(0u - static_cast<uint32_t>(value)));
}

int32_t Clamp(int32_t raw, const BlockScale& scale) {
  // The order matters when the window is inverted (low above high): below
  // the low limit wins.
  if (raw < scale.lowLimit) return scale.lowLimit;
  if (raw > scale.highLimit) return scale.highLimit;
  return raw;
}

// The short form of the division (see DivisionMagic); false when the block
// needs the general kernels.
bool SetShortForm(DivisionMagic& magic, const BlockScale& scale) {
  const int64_t divisor = scale.divisor;
  if (divisor < 3) return false;
  const int32_t lowCode = scale.lowLimit / scale.divisor;
  const int32_t highCode = scale.highLimit / scale.divisor;
  if (lowCode < -32767 || highCode > 32767) return false;
  const int64_t low = scale.lowLimit;
  const int64_t high = scale.highLimit;
  const int64_t largest = low < 0 ? (-low > high ? -low : high) : high;
  int32_t shift = 32;
  while (shift <= 47 && (int64_t{1} << shift) <= largest * divisor) ++shift;
  if (shift > 47) return false;
  // A whole number of bytes when that keeps the multiplier within 31 bits.
  if (shift > 32 && shift <= 40 && (int64_t{1} << 40) / divisor + 1 < (int64_t{1} << 31)) {
    shift = 40;
  }
  const int64_t multiplier = (int64_t{1} << shift) / divisor + 1;
  if (multiplier >= (int64_t{1} << 31)) return false;
  magic.shortForm = true;
  magic.multiplier = static_cast<int32_t>(multiplier);
  magic.shift = shift;
  magic.lowCode = static_cast<int16_t>(lowCode);
  magic.highCode = static_cast<int16_t>(highCode);
  return true;
}

}  // namespace

BlockScale ScaleForRange(double minValue, double maxValue) {
  const int16_t minWhole = LowBits16(TruncateToInt32(minValue));
  const int16_t maxWhole = LowBits16(TruncateToInt32(maxValue));
  BlockScale scale;
  scale.lowLimit = WrappingMultiply(minWhole, kMicrovoltsPerVolt);
  scale.highLimit = WrappingMultiply(maxWhole, kMicrovoltsPerVolt);
  scale.divisor = LowBits16(scale.highLimit / kFullScaleCode);
  return scale;
}

int16_t ConvertSample(int32_t raw, const BlockScale& scale) {
  const int32_t value = Clamp(raw, scale);
  if (scale.divisor == 0) return 0;
  if (scale.divisor == -1) return NegatedCode(value);
  return LowBits16(value / scale.divisor);
}

void ConvertSamplesReference(const int32_t* raw, int16_t* codes, uint32_t count,
                             const BlockScale& scale) {
  if (scale.divisor == 0 || scale.divisor == -1) {
    for (uint32_t i = 0; i < count; ++i) codes[i] = ConvertSample(raw[i], scale);
    return;
  }
  const int32_t divisor = scale.divisor;
  for (uint32_t i = 0; i < count; ++i) {
    codes[i] = LowBits16(Clamp(raw[i], scale) / divisor);
  }
}

void ConvertSamples(const int32_t* raw, int16_t* codes, uint32_t count, const BlockScale& scale) {
  const ConversionPath& path = CurrentPath();
  if (scale.divisor == 0) {
    std::memset(codes, 0, count * sizeof(int16_t));
    return;
  }
  // An inverted window only arises from nonsense ranges; the plain loop
  // keeps its exact ordering.
  if (path.kernel == nullptr || count < path.width || scale.lowLimit > scale.highLimit) {
    ConvertSamplesReference(raw, codes, count, scale);
    return;
  }
  const libdivide::libdivide_s32_t divider = libdivide::libdivide_s32_gen(scale.divisor);
  DivisionMagic magic{divider.magic, divider.more, scale.divisor, false, 0, 0, 0, 0};
  SetShortForm(magic, scale);
  const bool byteShift = magic.shortForm && magic.shift % 8 == 0;
  const Kernel kernel =
      byteShift && path.byteShiftKernel != nullptr ? path.byteShiftKernel : path.kernel;
  kernel(raw, codes, count, scale.lowLimit, scale.highLimit, magic);
}

const char* ConversionPathName() { return CurrentPath().name; }

bool ForceConversionPath(const char* name) {
  if (name == nullptr) {
    g_path = BestPath();
    return true;
  }
  for (const ConversionPath& path : kPaths) {
    if (std::strcmp(path.name, name) == 0) {
      if (!Supports(path)) return false;
      g_path = &path;
      return true;
    }
  }
  return false;
}

}  // namespace tarnix
