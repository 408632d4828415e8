// Shared set-up for the acquisition tests: a host record at an odd address
// (so any typed, aligned access into it shows up under the sanitizers), the
// first simulated board selected, buffers from the platform's global memory,
// and every trace line, message box and board-library call captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace tarnix::testing {

class AcquireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const platform::ModuleHandle module = g_state.moduleHandle;
    g_state = DriverState{};
    g_state.moduleHandle = module;
    ASSERT_EQ(VELQSIM_Reset(), 0);
    storage_.assign(sizeof(DeviceRecord) + 16, 0);
    g_state.deviceRecord = storage_.data() + 3;
    serial_ = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, 0);
    ASSERT_GT(serial_, 0) << "simulated board list is empty";
    g_state.serialNo = serial_;
    maxRate_ = VELQ_Query(serial_, velq::kMaxAdRate, 0);
    Rec().set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion);
    Rec().set<double>(TARNIX_RECORD(maxSampleRate), maxRate_);
    Rec().set<double>(TARNIX_RECORD(sampleRate), 1000.0);
    Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 1);
    Rec().set<int32_t>(TARNIX_RECORD(blockSize), 256);
    SetRange(-10.0, 10.0);
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetMessageBoxToStderr(0);
    TarnixPortable_SetTraceHook(&CaptureTrace, this);
    TarnixPortable_SetMessageBoxHook(&CaptureBox, this);
    VELQSIM_ClearLog();
  }

  void TearDown() override {
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetMessageBoxHook(nullptr, nullptr);
    platform::GlobalRelease(g_state.hostBuffer);
    platform::GlobalRelease(g_state.localBuffer);
    g_state = DriverState{};
  }

  RecordRef Rec() const { return RecordRef(g_state.deviceRecord); }

  void SetRange(double minVolts, double maxVolts) {
    const std::size_t entry = TARNIX_RECORD(adChannels);
    Rec().set<double>(entry + TARNIX_OFFSET(ChannelEntry, minValue), minVolts);
    Rec().set<double>(entry + TARNIX_OFFSET(ChannelEntry, maxValue), maxVolts);
  }

  // Buffers as DRV_SetInputBufferSize leaves them, with chosen capacities.
  void GiveBuffers(uint32_t hostSamples, uint32_t localSamples, int32_t savedSize = 1000) {
    g_state.hostBuffer = static_cast<int16_t*>(platform::GlobalAllocate(hostSamples * 2));
    g_state.localBuffer = static_cast<int32_t*>(platform::GlobalAllocate(localSamples * 4));
    ASSERT_NE(g_state.hostBuffer, nullptr);
    ASSERT_NE(g_state.localBuffer, nullptr);
    g_state.hostCapacity = hostSamples;
    g_state.localCapacity = localSamples;
    g_state.savedBufferSize = savedSize;
  }

  int32_t BlockSize() const { return Rec().get<int32_t>(TARNIX_RECORD(blockSize)); }
  int32_t ErrorCode() const { return Rec().get<int32_t>(TARNIX_RECORD(errorCode)); }

  // The board-library calls made since the last ClearLog, one text each.
  static std::vector<std::string> Calls() {
    std::vector<std::string> lines;
    char text[256];
    for (int32_t i = 0; i < VELQSIM_CallCount(); ++i) {
      if (VELQSIM_CallLine(i, text, sizeof text) < 0) break;
      lines.emplace_back(text);
    }
    return lines;
  }
  // Calls whose text starts with `prefix`.
  static int CountCalls(const std::string& prefix) {
    int n = 0;
    for (const std::string& line : Calls()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  std::vector<std::string> traces_;
  std::vector<std::string> boxes_;
  int32_t serial_ = 0;
  int32_t maxRate_ = 0;

 private:
  static void CaptureTrace(const char* text, void* self) {
    static_cast<AcquireTest*>(self)->traces_.emplace_back(text);
  }
  static void CaptureBox(const char* text, const char* caption, uint32_t, void* self) {
    static_cast<AcquireTest*>(self)->boxes_.push_back(std::string(caption) + "|" + text);
  }

  std::vector<uint8_t> storage_;
};

}  // namespace tarnix::testing
