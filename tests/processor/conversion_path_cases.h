// Test cases run once for every conversion path, each under a GoogleTest
// suite that names its path, for the native and the Windows test programs
// alike.
//
// The sse2 and scalar paths run on every processor that runs the module;
// their suites always run and count. Every other path needs a processor
// feature, and its suite is "ProcessorPath" followed by the path in
// CamelCase: its cases run where the processor has the path and are
// skipped "not on this processor" elsewhere, so the number of cases is the
// same on every machine. Whether the processor has a path is read here from
// CPUID and XGETBV (the operating system must save the registers the path
// uses), never asked of the module: the module's own choice is under test.
#pragma once

#include <cpuid.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "acquire/convert.h"

namespace tarnix_test {

struct ConversionPathSuite {
  const char* suite;
  const char* path;
  bool processorDependent;
};

// In the order the module must prefer them, fastest first.
inline constexpr ConversionPathSuite kConversionPathSuites[] = {
    {"ProcessorPathAvx512Vbmi", "avx512vbmi", true},
    {"ProcessorPathAvx512", "avx512", true},
    {"ProcessorPathAvx2", "avx2", true},
    {"ProcessorPathSse2Vex", "sse2-vex", true},
    {"ConversionPathSse2", "sse2", false},
    {"ConversionPathScalar", "scalar", false},
};

struct ProcessorFeatures {
  bool avx = false;         // AVX, with the YMM state enabled by the system
  bool avx2 = false;        // and AVX2
  bool avx512 = false;      // AVX-512 F and BW, with the opmask and ZMM state enabled
  bool avx512vbmi = false;  // and VL and VBMI
};

inline ProcessorFeatures ReadProcessorFeatures() {
  ProcessorFeatures f;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return f;
  const bool osxsave = (c & (1u << 27)) != 0;
  const bool avx = (c & (1u << 28)) != 0;
  uint32_t xcr0 = 0;
  if (osxsave) {
    uint32_t high = 0;
    asm volatile("xgetbv" : "=a"(xcr0), "=d"(high) : "c"(0));
  }
  // XCR0: bits 1-2 the XMM and YMM state, bits 5-7 the opmask and ZMM state.
  f.avx = avx && (xcr0 & 0x06u) == 0x06u;
  if (__get_cpuid_max(0, nullptr) < 7) return f;
  __cpuid_count(7, 0, a, b, c, d);
  const bool zmmState = (xcr0 & 0xE6u) == 0xE6u;
  f.avx2 = f.avx && (b & (1u << 5)) != 0;
  f.avx512 = f.avx && zmmState && (b & (1u << 16)) != 0 && (b & (1u << 30)) != 0;
  f.avx512vbmi = f.avx512 && (b & (1u << 31)) != 0 && (c & (1u << 1)) != 0;
  return f;
}

// sse2 and scalar need nothing beyond what runs the module at all.
inline bool ProcessorHasPath(std::string_view path) {
  static const ProcessorFeatures f = ReadProcessorFeatures();
  if (path == "avx512vbmi") return f.avx512vbmi;
  if (path == "avx512") return f.avx512;
  if (path == "avx2") return f.avx2;
  if (path == "sse2-vex") return f.avx;
  return path == "sse2" || path == "scalar";
}

using PathCheck = std::function<void(const char* path)>;

// One case of one path: forces the path, runs the check, restores the
// module's own choice.
class ConversionPathCase : public testing::Test {
 public:
  ConversionPathCase(const ConversionPathSuite& suite, PathCheck check)
      : suite_(suite), check_(std::move(check)) {}
  void TestBody() override {
    if (suite_.processorDependent && !ProcessorHasPath(suite_.path)) {
      GTEST_SKIP() << "not on this processor";
    }
    ASSERT_TRUE(tarnix::ForceConversionPath(suite_.path))
        << suite_.path << " refused on a processor that has it";
    check_(suite_.path);
  }
  void TearDown() override { tarnix::ForceConversionPath(nullptr); }

 private:
  ConversionPathSuite suite_;
  PathCheck check_;
};

// Registers `check` as the case `name` of every path's suite; call it to
// initialise a namespace-scope constant, as TEST does.
inline bool RegisterConversionPathCases(const char* name, const char* file, int line,
                                        const PathCheck& check) {
  for (const ConversionPathSuite& suite : kConversionPathSuites) {
    testing::RegisterTest(
        suite.suite, name, nullptr, nullptr, file, line,
        [suite, check]() -> ConversionPathCase* { return new ConversionPathCase(suite, check); });
  }
  return true;
}

}  // namespace tarnix_test
