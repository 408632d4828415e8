// Shared set-up of the setup-dialog tests: a fresh driver state holding a
// record, the simulated library with answers chosen per test, trace capture,
// and helpers that read the portable dialog's controls after it closed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi/device_record.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"

namespace tarnix::test {

inline constexpr int32_t kLib = 1000000000;

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    void* module = g_state.moduleHandle;
    g_state = DriverState{};
    g_state.moduleHandle = module;
    record_.assign(sizeof(DeviceRecord), 0);
    VELQSIM_Reset();
    TarnixPortable_ClearDialogScript();
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetTraceHook(&UiTest::Collect, this);
    TarnixPortable_SetVirtualClock(1);
  }
  void TearDown() override {
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetDialogHook(nullptr, nullptr);
    EXPECT_EQ(TarnixPortable_ClearDialogScript(), 0) << "script actions left unplayed";
  }

  // An initialised module holding the record.
  void Initialised() {
    g_state.initialized = 1;
    g_state.deviceRecord = record_.data();
  }

  // `count` boards with serials base, base+1, ...: the library answers the
  // count, the serials, and for every board type 10+i and revision 20+i.
  void Boards(int32_t count, int32_t base = 5000) {
    VELQSIM_SetAnswer(kLib, 5, 0, count);
    for (int32_t i = 0; i < count; ++i) {
      VELQSIM_SetAnswer(kLib, 15, i, base + i);
      VELQSIM_SetAnswer(base + i, 10, 0, 10 + i);
      VELQSIM_SetAnswer(base + i, 11, 0, 20 + i);
    }
  }

  // Gains (query 144/145) and range kinds (146/147) of one board.
  void Gains(int32_t serial, const std::vector<int32_t>& spans) {
    VELQSIM_SetAnswer(serial, 144, 0, static_cast<int32_t>(spans.size()));
    for (size_t i = 0; i < spans.size(); ++i) {
      VELQSIM_SetAnswer(serial, 145, static_cast<int32_t>(i), spans[i]);
    }
  }
  void Ranges(int32_t serial, const std::vector<int32_t>& kinds) {
    VELQSIM_SetAnswer(serial, 146, 0, static_cast<int32_t>(kinds.size()));
    for (size_t i = 0; i < kinds.size(); ++i) {
      VELQSIM_SetAnswer(serial, 147, static_cast<int32_t>(i), kinds[i]);
    }
  }

  static std::string Text(int control) {
    char text[256];
    TarnixPortable_DialogControlText(control, text, sizeof text);
    return text;
  }
  static std::vector<std::string> Entries(int control) {
    std::vector<std::string> out;
    int n = TarnixPortable_DialogComboCount(control);
    for (int i = 0; i < n; ++i) {
      char text[256];
      TarnixPortable_DialogComboEntry(control, i, text, sizeof text);
      out.emplace_back(text);
    }
    return out;
  }
  static std::vector<std::string> CallLog() {
    std::vector<std::string> out;
    for (int i = 0; i < VELQSIM_CallCount(); ++i) {
      char line[256];
      VELQSIM_CallLine(i, line, sizeof line);
      out.emplace_back(line);
    }
    return out;
  }
  int32_t ErrorCode() const {
    int32_t code;
    std::memcpy(&code, record_.data() + TARNIX_RECORD(errorCode), sizeof code);
    return code;
  }
  std::string RecordText(size_t offset, size_t width) const {
    return std::string(reinterpret_cast<const char*>(record_.data() + offset), width);
  }
  bool Traced(const std::string& line) const {
    for (const std::string& t : traces_) {
      if (t == line) return true;
    }
    return false;
  }

  std::vector<uint8_t> record_;
  std::vector<std::string> traces_;

 private:
  static void Collect(const char* text, void* self) {
    static_cast<UiTest*>(self)->traces_.emplace_back(text);
  }
};

}  // namespace tarnix::test
