// The sample conversion: truncating double conversions, the per-block scale,
// and bit-exactness of every vector path against the plain loop.
#include "acquire/convert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "acquire/float_to_int.h"
#include "processor/conversion_path_cases.h"

namespace tarnix {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FloatToInt, OutOfRangeGivesTheIndefiniteValue) {
  struct Case64 {
    double in;
    int64_t out;
  };
  for (const Case64 c :
       {Case64{-2.9, -2}, Case64{2.9, 2}, Case64{-0.5, 0},
        Case64{9223372036854774784.0, 9223372036854774784LL},
        Case64{-9223372036854775808.0, INT64_MIN}, Case64{9223372036854775808.0, INT64_MIN},
        Case64{1e300, INT64_MIN}, Case64{-1e300, INT64_MIN}, Case64{kInf, INT64_MIN},
        Case64{-kInf, INT64_MIN}, Case64{kNaN, INT64_MIN}}) {
    EXPECT_EQ(TruncateToInt64(c.in), c.out) << c.in;
  }
  struct Case32 {
    double in;
    int32_t out;
  };
  for (const Case32 c :
       {Case32{2147483647.9, INT32_MAX}, Case32{2147483648.0, INT32_MIN},
        Case32{-2147483648.9, INT32_MIN}, Case32{-2147483647.5, -2147483647},
        Case32{-2147483649.0, INT32_MIN}, Case32{-7.99, -7}, Case32{kNaN, INT32_MIN},
        Case32{kInf, INT32_MIN}, Case32{-kInf, INT32_MIN}}) {
    EXPECT_EQ(TruncateToInt32(c.in), c.out) << c.in;
  }
  EXPECT_EQ(LowBits32(INT64_MIN), 0u);
  EXPECT_EQ(LowBits32(5000000000LL), 705032704u);
  EXPECT_EQ(LowBits16(0x12348765), static_cast<int16_t>(-30875));
  EXPECT_EQ(WrappingMultiply(32767, 1000000), -1592738368);
}

TEST(ScaleForRange, WholeVoltsWrapAndDivisorCut) {
  struct Case {
    double min, max;
    BlockScale expected;
  };
  for (const Case c :
       {Case{-10.0, 10.0, {-10000000, 10000000, 4885}}, Case{-5.0, 5.0, {-5000000, 5000000, 2442}},
        Case{-9.9, 9.9, {-9000000, 9000000, 4396}}, Case{0.0, 1.0, {0, 1000000, 488}},
        Case{-0.7, 0.7, {0, 0, 0}},
        // 40000 V is -25536 in 16 bits; the product wraps.
        Case{40000.0, 40000.0, {233803776, 233803776, -16855}},
        Case{-32768.0, 32767.0, {1591738368, -1592738368, 8348}},
        Case{0.0, 9529.0, {0, 939065408, 0}}, Case{kNaN, 1e10, {0, 0, 0}},
        Case{-kInf, kInf, {0, 0, 0}}}) {
    const BlockScale s = ScaleForRange(c.min, c.max);
    EXPECT_EQ(s.lowLimit, c.expected.lowLimit) << c.min;
    EXPECT_EQ(s.highLimit, c.expected.highLimit) << c.max;
    EXPECT_EQ(s.divisor, c.expected.divisor) << c.max;
  }
}

// Independent statement of the conversion: clamp, divide in 64 bits, keep
// the low 16 bits; 0 for a zero divisor.
int16_t Oracle(int32_t raw, const BlockScale& s) {
  int64_t v = raw;
  if (v < s.lowLimit) {
    v = s.lowLimit;
  } else if (v > s.highLimit) {
    v = s.highLimit;
  }
  if (s.divisor == 0) return 0;
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v / s.divisor)));
}

// Readings around everything that matters for one scale: the extremes of
// int32, the clamp limits +-1, zero, multiples of the divisor +-1, and
// random values (inside the window and anywhere).
std::vector<int32_t> Readings(const BlockScale& s, std::mt19937& rng) {
  std::vector<int32_t> r = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, 0, 1, -1};
  for (int64_t edge : {int64_t{s.lowLimit}, int64_t{s.highLimit}}) {
    for (int64_t delta : {-1, 0, 1}) {
      const int64_t v = edge + delta;
      if (v >= INT32_MIN && v <= INT32_MAX) r.push_back(static_cast<int32_t>(v));
    }
  }
  const int64_t atHigh = s.divisor == 0 ? 0 : int64_t{s.highLimit} / s.divisor;
  const int64_t atLow = s.divisor == 0 ? 0 : int64_t{s.lowLimit} / s.divisor;
  for (int64_t k : {int64_t{1}, int64_t{2}, int64_t{2047}, int64_t{2048}, int64_t{-1}, int64_t{-2},
                    int64_t{-2047}, int64_t{-2048}, atHigh, atLow}) {
    for (int64_t delta : {-1, 0, 1}) {
      const int64_t v = k * s.divisor + delta;
      if (v >= INT32_MIN && v <= INT32_MAX) r.push_back(static_cast<int32_t>(v));
    }
  }
  // The largest multiples: whole quotients far from zero, where a division
  // through a reciprocal would first fall short.
  if (s.divisor != 0) {
    const int64_t top = INT32_MAX / (s.divisor < 0 ? -int64_t{s.divisor} : int64_t{s.divisor});
    for (int64_t k : {top, -top, top - 1, -top + 1}) {
      for (int64_t delta : {-1, 0, 1}) {
        const int64_t v = k * s.divisor + delta;
        if (v >= INT32_MIN && v <= INT32_MAX) r.push_back(static_cast<int32_t>(v));
      }
    }
  }
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  const int32_t lo = std::min(s.lowLimit, s.highLimit);
  const int32_t hi = std::max(s.lowLimit, s.highLimit);
  std::uniform_int_distribution<int32_t> inside(lo, hi);
  while (r.size() < 64) r.push_back(r.size() % 3 == 0 ? any(rng) : inside(rng));
  return r;
}

void EveryDivisorMatchesTheOracle(const char*) {
  std::mt19937 rng(12345);
  std::vector<int16_t> fast, plain;
  for (int32_t d = INT16_MIN; d <= INT16_MAX; ++d) {
    // Two windows per divisor: the whole int32 range (so the lowest reading
    // meets a divisor of -1), the window a range of d x 2047 would give, and
    // the widest whose codes still fit 16 bits.
    const int32_t span =
        static_cast<int32_t>(std::min<int64_t>(std::abs(int64_t{d}) * 2047, INT32_MAX));
    const int32_t wide =
        static_cast<int32_t>(std::min<int64_t>(std::abs(int64_t{d}) * 32768 - 1, INT32_MAX));
    for (const BlockScale s : {BlockScale{INT32_MIN, INT32_MAX, static_cast<int16_t>(d)},
                               BlockScale{-span, span, static_cast<int16_t>(d)},
                               BlockScale{-wide, wide, static_cast<int16_t>(d)}}) {
      const std::vector<int32_t> raw = Readings(s, rng);
      const auto n = static_cast<uint32_t>(raw.size());
      fast.assign(n, 0x7777);
      plain.assign(n, 0x7777);
      ConvertSamples(raw.data(), fast.data(), n, s);
      ConvertSamplesReference(raw.data(), plain.data(), n, s);
      for (uint32_t i = 0; i < n; ++i) {
        const int16_t want = Oracle(raw[i], s);
        if (fast[i] != want || plain[i] != want || ConvertSample(raw[i], s) != want) {
          FAIL() << "divisor " << d << " window [" << s.lowLimit << ", " << s.highLimit
                 << "] reading " << raw[i] << ": fast " << fast[i] << ", plain " << plain[i]
                 << ", single " << ConvertSample(raw[i], s) << ", expected " << want;
        }
      }
    }
  }
}

void EveryLengthStaysInsideItsBuffers(const char*) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int32_t> any(-12000000, 12000000);
  const BlockScale s = ScaleForRange(-10.0, 10.0);
  for (uint32_t n = 0; n <= 200; ++n) {
    // Exactly sized heap blocks: the sanitizer catches any read or write
    // past them; the guard word catches a write into the next element.
    std::vector<int32_t> raw(n);
    for (int32_t& v : raw) v = any(rng);
    std::vector<int16_t> out(n + 1, 0x7777);
    ConvertSamples(raw.data(), out.data(), n, s);
    for (uint32_t i = 0; i < n; ++i)
      ASSERT_EQ(out[i], Oracle(raw[i], s)) << "n " << n << " i " << i;
    ASSERT_EQ(out[n], 0x7777) << "wrote past " << n << " samples";
  }
}

void InvertedAndZeroScales(const char*) {
  const std::vector<int32_t> raw = {
      INT32_MIN, -6000000, 0,  4999999, 5000000, 6000000, INT32_MAX, 1,  2,  3,  4,  5,
      6,         7,        8,  9,       10,      11,      12,        13, 14, 15, 16, 17,
      18,        19,       20, 21,      22,      23,      24,        25, 26, 27, 28, 29};
  const auto n = static_cast<uint32_t>(raw.size());
  for (const BlockScale s : {BlockScale{5000000, -5000000, -2442}, BlockScale{-100, 100, 0},
                             BlockScale{INT32_MIN, INT32_MAX, -1}}) {
    std::vector<int16_t> out(n, 0x7777);
    ConvertSamples(raw.data(), out.data(), n, s);
    for (uint32_t i = 0; i < n; ++i) {
      EXPECT_EQ(out[i], Oracle(raw[i], s)) << "divisor " << s.divisor << " reading " << raw[i];
    }
  }
}

// Every path, one case each (processor/conversion_path_cases.h).
[[maybe_unused]] const bool kPathCasesRegistered =
    tarnix_test::RegisterConversionPathCases("EveryDivisorMatchesTheOracle", __FILE__, __LINE__,
                                             EveryDivisorMatchesTheOracle) &&
    tarnix_test::RegisterConversionPathCases("EveryLengthStaysInsideItsBuffers", __FILE__, __LINE__,
                                             EveryLengthStaysInsideItsBuffers) &&
    tarnix_test::RegisterConversionPathCases("InvertedAndZeroScales", __FILE__, __LINE__,
                                             InvertedAndZeroScales);

// The module accepts exactly the paths the processor has (as this test reads
// CPUID and XGETBV itself) and chooses the fastest of them.
TEST(ConversionPathChoice, TheFastestPathTheProcessorHasIsTheDefault) {
  std::string fastest;
  for (const tarnix_test::ConversionPathSuite& suite : tarnix_test::kConversionPathSuites) {
    const bool has = tarnix_test::ProcessorHasPath(suite.path);
    EXPECT_EQ(ForceConversionPath(suite.path), has) << suite.path;
    if (has && fastest.empty()) fastest = suite.path;
  }
  ASSERT_TRUE(ForceConversionPath(nullptr));
  EXPECT_EQ(ConversionPathName(), fastest);
  EXPECT_FALSE(ForceConversionPath("mmx"));
  EXPECT_EQ(ConversionPathName(), fastest);
}

}  // namespace
}  // namespace tarnix
