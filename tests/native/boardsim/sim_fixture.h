// Shared by the board library's tests in both flavours (natively and as the
// DLL under Wine): a fresh default world per test, on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/velqsim.h"

namespace boardsim_test {

inline constexpr int32_t kLibrary = 1000000000;

// Statuses as the library documents them.
enum : int32_t {
  kUnknownSerial = -1,
  kUnknownQuery = -2,
  kNullPointer = -3,
  kBadParameter = -4,
  kWrongTarget = -5,
  kBadChannel = -6,
  kBadChannelCount = -7,
  kBadRate = -8,
  kBadClockSource = -9,
  kBadMode = -10,
  kBadGainCode = -11,
  kBadReserved = -12,
  kNotConfigured = -13,
  kAdRunning = -14,
  kBadCount = -15,
  kBadOutputChannel = -16,
  kOutputValueRange = -17,
  kBadPort = -18,
  kBadCounter = -19,
  kNotReady = -20,
};

// Runs caller(0) .. caller(count - 1) at once, each on a thread of its
// own, and returns when all are done. Each flavour has its own threads
// (run_callers.cpp beside its tests).
void RunCallers(int count, const std::function<void(int)>& caller);

inline std::string CallLine(int32_t index) {
  char text[256] = {};
  if (VELQSIM_CallLine(index, text, sizeof text) != 0)
    return "<no line " + std::to_string(index) + ">";
  return text;
}

inline std::vector<std::string> CallLines() {
  std::vector<std::string> lines;
  const int32_t count = VELQSIM_CallCount();
  for (int32_t i = 0; i < count; ++i) lines.push_back(CallLine(i));
  return lines;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VELQSIM_Reset(), 0);
    ASSERT_EQ(VELQSIM_SetClock(kVelqSimVirtual), 0);
    first_ = VELQ_Query(kLibrary, 15, 0);
    second_ = VELQ_Query(kLibrary, 15, 1);
    ASSERT_GT(first_, 0);
    ASSERT_GT(second_, 0);
    VELQSIM_ClearLog();
  }
  void TearDown() override { VELQSIM_Reset(); }

  // Configures and starts a scan; fails the test on any refusal.
  void StartScan(int32_t serial, std::vector<int32_t> channels, int32_t rate, int32_t mode = 0,
                 int32_t clockSource = 0) {
    std::vector<int32_t> gains(channels.size(), 0x100);
    int32_t rateArgument = rate;
    ASSERT_EQ(VELQ_ADConfig(serial, &rateArgument, clockSource, mode, 0, channels.data(),
                            gains.data(), static_cast<int32_t>(channels.size())),
              0);
    ASSERT_EQ(VELQ_ADStart(serial), 0);
  }

  // Reads up to `count` samples; the delivered count comes back in *delivered.
  std::vector<int32_t> Read(int32_t serial, int32_t count, int32_t* delivered = nullptr) {
    std::vector<int32_t> buffer(static_cast<size_t>(count) + 1, 0x5A5A5A5A);
    int32_t asked = count;
    const int32_t stored = VELQ_ADGetData(serial, buffer.data(), &asked);
    EXPECT_GE(stored, 0);
    EXPECT_EQ(stored, asked) << "samples stored and count written back differ";
    EXPECT_EQ(buffer[static_cast<size_t>(count)], 0x5A5A5A5A) << "wrote past the count asked";
    if (delivered != nullptr) *delivered = asked;
    buffer.resize(static_cast<size_t>(std::max(stored, 0)));
    return buffer;
  }

  int32_t first_ = 0;
  int32_t second_ = 0;
};

}  // namespace boardsim_test
