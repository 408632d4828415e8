// Shared setup of the device tests: a fresh driver state and simulated
// library per test, trace lines and message boxes captured, the splash on a
// virtual clock, and a host record pre-filled with a pattern byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace devicetest {

inline constexpr uint8_t kPattern = 0xA5;

struct Box {
  std::string text;
  std::string caption;
  uint32_t style;
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    void* module = tarnix::g_state.moduleHandle;
    tarnix::g_state = tarnix::DriverState{};
    tarnix::g_state.moduleHandle = module;
    ASSERT_EQ(VELQSIM_Reset(), 0);
    TarnixPortable_ClearFaults();
    TarnixPortable_SetVirtualClock(1);
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetMessageBoxToStderr(0);
    TarnixPortable_SetTraceHook(&DeviceTest::OnTrace, this);
    TarnixPortable_SetMessageBoxHook(&DeviceTest::OnBox, this);
    // Exactly as long as the module may touch, so a write past any table
    // of the record is caught by AddressSanitizer.
    record_.assign(tarnix::kRecordBytesUsed, kPattern);
    Set<int16_t>(TARNIX_RECORD(structVersion), tarnix::kHostStructVersion);
    liveBlocksAtStart_ = TarnixPortable_LiveBlocks();
  }

  void TearDown() override {
    tarnix::g_state.deviceRecord = nullptr;
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetMessageBoxHook(nullptr, nullptr);
    TarnixPortable_ClearFaults();
    // Buffers a test left behind would leak into the next one.
    tarnix::platform::GlobalRelease(tarnix::g_state.hostBuffer);
    tarnix::platform::GlobalRelease(tarnix::g_state.localBuffer);
    tarnix::g_state.hostBuffer = nullptr;
    tarnix::g_state.localBuffer = nullptr;
  }

  // Hands the record over as DRV_InitDevice would, without initialising.
  void AttachRecord() { tarnix::g_state.deviceRecord = record_.data(); }

  template <typename T>
  T Get(std::size_t offset) const {
    T value;
    std::memcpy(&value, record_.data() + offset, sizeof value);
    return value;
  }
  template <typename T>
  void Set(std::size_t offset, T value) {
    std::memcpy(record_.data() + offset, &value, sizeof value);
  }
  std::string Text(std::size_t offset, std::size_t width) const {
    return std::string(reinterpret_cast<const char*>(record_.data() + offset), width);
  }
  // Offset of the first byte in [offset, offset + bytes) that differs from
  // `value`, or -1.
  long FirstNot(std::size_t offset, std::size_t bytes, uint8_t value) const {
    for (std::size_t i = 0; i < bytes; ++i) {
      if (record_[offset + i] != value) return static_cast<long>(offset + i);
    }
    return -1;
  }

  std::vector<std::string> TakeTraces() {
    std::vector<std::string> out;
    out.swap(traces_);
    return out;
  }
  std::vector<Box> TakeBoxes() {
    std::vector<Box> out;
    out.swap(boxes_);
    return out;
  }

  // The simulated library's call log, oldest first.
  static std::vector<std::string> CallLog() {
    std::vector<std::string> lines;
    const int32_t n = VELQSIM_CallCount();
    for (int32_t i = 0; i < n; ++i) {
      char line[256] = {};
      if (VELQSIM_CallLine(i, line, sizeof line) < 0) break;
      lines.emplace_back(line);
    }
    return lines;
  }
  // The log without its results: "VELQ_Query(1000000000, 1, 0)".
  static std::vector<std::string> CallsWithoutResults() {
    std::vector<std::string> calls;
    for (const std::string& line : CallLog()) calls.push_back(line.substr(0, line.find(" = ")));
    return calls;
  }

  static int32_t FirstBoardSerial() { return VELQ_Query(1000000000, 15, 0); }

  std::vector<uint8_t> record_;
  int liveBlocksAtStart_ = 0;

 private:
  static void OnTrace(const char* text, void* self) {
    static_cast<DeviceTest*>(self)->traces_.emplace_back(text);
  }
  static void OnBox(const char* text, const char* caption, uint32_t style, void* self) {
    static_cast<DeviceTest*>(self)->boxes_.push_back(Box{text, caption, style});
  }

  std::vector<std::string> traces_;
  std::vector<Box> boxes_;
};

}  // namespace devicetest
