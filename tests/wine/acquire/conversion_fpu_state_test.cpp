// The conversion paths, compiled for the DLL's own target (the DLL exports
// only DRV_ entries), under the floating-point state a host application may
// leave on its thread: the module runs on the host's thread and inherits its
// x87 precision (Direct3D sets 24 bits by default) and rounding mode. Every
// path must still give exactly the plain loop's codes: one case per path
// (processor/conversion_path_cases.h), so that no path's failure or refusal
// hides behind another's pass.
#include <float.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "acquire/convert.h"
#include "processor/conversion_path_cases.h"

namespace {

using tarnix::BlockScale;

// Restores the thread's control word, whatever fails.
struct HostState {
  unsigned saved = _controlfp(0, 0);
  ~HostState() { Restore(); }
  // Before anything is reported: the test framework itself is not meant to
  // run in these states.
  void Restore() const { _controlfp(saved, _MCW_RC | Mask()); }
  // x87 precision control exists for 32-bit code only; 64-bit code keeps
  // its doubles in SSE registers.
  static unsigned Mask() { return sizeof(void*) == 4 ? _MCW_PC : 0; }
};

// Whole multiples of the divisor (where a quotient through a reciprocal
// falls short first) and their neighbours, in a window of divisor x 2047.
std::vector<int32_t> Readings(int32_t divisor) {
  std::vector<int32_t> raw;
  for (int32_t k : {1, 2, 1000, 2046, 2047}) {
    for (int32_t delta : {-1, 0, 1}) {
      raw.push_back(k * divisor + delta);
      raw.push_back(-k * divisor + delta);
    }
  }
  return raw;
}

void ExactForEveryDivisorUnderHostFpuState(const char* path) {
  HostState state;
  const unsigned modes[] = {_RC_NEAR, _RC_DOWN, _RC_UP, _RC_CHOP};
  for (unsigned rounding : modes) {
    _controlfp(rounding | _PC_24, _MCW_RC | HostState::Mask());
    int wrong = 0;
    int32_t first = 0;
    for (int32_t d = -32768; d <= 32767; ++d) {
      if (d == 0) continue;
      const int32_t limit = (d < 0 ? -d : d) * 2047;
      const BlockScale scale{-limit, limit, static_cast<int16_t>(d)};
      std::vector<int32_t> raw = Readings(d);
      const auto n = static_cast<uint32_t>(raw.size());
      std::vector<int16_t> plain(n), fast(n);
      tarnix::ConvertSamplesReference(raw.data(), plain.data(), n, scale);
      tarnix::ConvertSamples(raw.data(), fast.data(), n, scale);
      if (fast != plain && wrong++ == 0) first = d;
    }
    state.Restore();
    EXPECT_EQ(wrong, 0) << path << " path, rounding mode " << rounding << ", first divisor "
                        << first;
  }
}

[[maybe_unused]] const bool kRegistered =
    tarnix_test::RegisterConversionPathCases("ExactForEveryDivisorUnderHostFpuState", __FILE__,
                                             __LINE__, ExactForEveryDivisorUnderHostFpuState);

}  // namespace
