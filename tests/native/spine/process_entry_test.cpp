// Process attach and detach, and the module's one way to show a failure.
#include "core/process_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "core/messages.h"
#include "ui/resources.h"

namespace {

struct BoxSeen {
  std::string text;
  std::string caption;
  uint32_t style;
};

class ProcessEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tarnix::g_state.moduleHandle;
    tarnix::g_state = tarnix::DriverState{};
    VELQSIM_Reset();
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetMessageBoxToStderr(0);
    TarnixPortable_SetTraceHook(
        [](const char* text, void* context) {
          static_cast<std::vector<std::string>*>(context)->emplace_back(text);
        },
        &traces_);
    TarnixPortable_SetMessageBoxHook(
        [](const char* text, const char* caption, uint32_t style, void* context) {
          static_cast<std::vector<BoxSeen>*>(context)->push_back({text, caption, style});
        },
        &boxes_);
  }
  void TearDown() override {
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetMessageBoxHook(nullptr, nullptr);
    TarnixPortable_SetTraceToStderr(1);
    TarnixPortable_SetMessageBoxToStderr(1);
    tarnix::g_state = tarnix::DriverState{};
    tarnix::g_state.moduleHandle = saved_;
  }
  std::vector<std::string> TakeTraces() {
    std::vector<std::string> taken;
    taken.swap(traces_);
    return taken;
  }

  std::vector<std::string> traces_;
  std::vector<BoxSeen> boxes_;
  tarnix::platform::ModuleHandle saved_ = nullptr;
  int instanceA_ = 0, instanceB_ = 0;
};

using Lines = std::vector<std::string>;

TEST_F(ProcessEntryTest, AttachStoresTheInstanceAndRefusesASecondAttach) {
  EXPECT_EQ(tarnix::ProcessEntry(&instanceA_, tarnix::kProcessAttach), 1);
  EXPECT_EQ(tarnix::g_state.moduleHandle, &instanceA_);
  EXPECT_EQ(TakeTraces(), (Lines{"TARNIX:DllMain\n", "TARNIX:DllMain - Starting\n"}));

  // A second attach fails the load and keeps the first instance.
  EXPECT_EQ(tarnix::ProcessEntry(&instanceB_, tarnix::kProcessAttach), 0);
  EXPECT_EQ(tarnix::g_state.moduleHandle, &instanceA_);
  EXPECT_EQ(TakeTraces(), (Lines{"TARNIX:DllMain\n"}));
}

TEST_F(ProcessEntryTest, ThreadEventsOnlyTraceAndDetachReleasesNothing) {
  ASSERT_EQ(tarnix::ProcessEntry(&instanceA_, tarnix::kProcessAttach), 1);
  TakeTraces();
  tarnix::g_state.serialNo = 4711;  // stands for everything a detach must leave alone

  EXPECT_EQ(tarnix::ProcessEntry(&instanceA_, tarnix::kThreadAttach), 1);
  EXPECT_EQ(tarnix::ProcessEntry(&instanceA_, tarnix::kThreadDetach), 1);
  EXPECT_EQ(tarnix::ProcessEntry(&instanceA_, 77), 1) << "unknown reasons are accepted";
  EXPECT_EQ(TakeTraces(), (Lines{"TARNIX:DllMain\n", "TARNIX:DllMain\n", "TARNIX:DllMain\n"}));

  EXPECT_EQ(tarnix::ProcessEntry(&instanceA_, tarnix::kProcessDetach), 1);
  EXPECT_EQ(TakeTraces(), (Lines{"TARNIX:DllMain\n", "TARNIX:DllMain - Stopping\n"}));
  EXPECT_EQ(tarnix::g_state.moduleHandle, &instanceA_);
  EXPECT_EQ(tarnix::g_state.serialNo, 4711);
}

TEST_F(ProcessEntryTest, ShowMessageCaptionsWithTheDriverNameAndUsesTheErrorIcon) {
  tarnix::ShowMessage(IDS_WRONG_RATE);
  tarnix::ShowMessage(IDS_UNKNOWN_ERROR);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].caption, STR_DRIVER_NAME);
  EXPECT_EQ(boxes_[0].text, "Wrong sampling frequency");
  EXPECT_EQ(boxes_[0].style, 0x10u) << "MB_OK | MB_ICONERROR";
  EXPECT_EQ(boxes_[1].caption, "VELQ Sorvik Interface");
  EXPECT_EQ(boxes_[1].text, "Unkown driver error has occured");
  EXPECT_TRUE(TakeTraces().empty()) << "showing a message writes no trace";
}

TEST_F(ProcessEntryTest, ShowMessageOfAnUnknownStringShowsNoStaleText) {
  tarnix::ShowMessage(IDS_NO_BOARDS);
  tarnix::ShowMessage(9999);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].caption, STR_DRIVER_NAME);
  EXPECT_EQ(boxes_[1].text, "") << "the previous text or the caption leaked into the box";
}

}  // namespace
