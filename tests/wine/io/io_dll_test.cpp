// Single-point I/O and the inert entries through the real tarnix.dll's
// exports under Wine: the stdcall arguments reach the board library, library
// failures reach the record and DRV_ShowError.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/board_api.h"
#include "velqsim.h"
#include "wine/support/harness.h"

namespace {

using winetest::Get;
using winetest::HostRecord;

using InitFn = int32_t(__stdcall*)(void*);
using NoArgFn = int32_t(__stdcall*)();
using OneArgFn = int32_t(__stdcall*)(int32_t);
using TwoArgFn = int32_t(__stdcall*)(int32_t, int32_t);
using ThreeArgFn = int32_t(__stdcall*)(int32_t, int32_t, int32_t);
using ExplainFn = const char*(__stdcall*)(int32_t, int32_t);

// Calls every inert entry by its exported name; 0 when all answer their
// fixed values, else the number of wrong answers.
int WrongInertAnswers() {
  int wrong = 0;
  for (const char* name : {"DRV_SetScanList", "DRV_SetAnalogOutputBufferMode",
                           "DRV_SetCounterOutputBufferMode", "DRV_SetDigitalOutputBufferMode"}) {
    if (Get<ThreeArgFn>(name)(5, -6, 7) != 0) ++wrong;
  }
  for (const char* name : {"DRV_AdvanceAnalogOutputBuf", "DRV_AdvanceCounterOutputBuf",
                           "DRV_AdvanceDigitalOutputBuf", "DRV_GetAnalogOutputStatus"}) {
    if (Get<NoArgFn>(name)() != 1) ++wrong;
  }
  for (const char* name : {"DRV_GetAnalogOutputBuf", "DRV_GetCounterOutputBuf",
                           "DRV_GetCounterOutputStatus", "DRV_GetDigitalOutputBuf",
                           "DRV_GetDigitalOutputStatus", "DRV_GetHardwareDescription"}) {
    if (Get<NoArgFn>(name)() != 0) ++wrong;
  }
  const char* text = Get<ExplainFn>("DRV_ExplainGainCode")(3, 4);
  if (text == nullptr || std::strcmp(text, " ? ? ? ") != 0) ++wrong;
  return wrong;
}

TEST(InertEntriesDll, AnswerBeforeInitialisationInAFreshModule) {
  EXPECT_EXIT(
      {
        winetest::StartTraceCapture();
        int wrong = WrongInertAnswers();
        // None of them writes a trace line (the load's own lines aside).
        for (const std::string& line : winetest::TakeTraces()) {
          if (line.rfind("TARNIX:DllMain", 0) != 0) ++wrong;
        }
        std::exit(wrong);
      },
      ::testing::ExitedWithCode(0), "");
}

class SinglePointDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    record_ = new HostRecord();
    winetest::StartMessageBoxWatcher();
    initResult_ = Get<InitFn>("DRV_InitDevice")(record_->data());
    serial_ = VELQ_Query(1000000000, 15, 0);
  }
  void SetUp() override {
    ASSERT_EQ(initResult_, 1) << "the device did not open";
    VELQSIM_SetClock(kVelqSimVirtual);
    record_->Write<int32_t>(TARNIX_RECORD(errorCode), 4242);
    winetest::TakeMessageBoxes();
  }
  static int32_t ErrorCode() { return record_->Read<int32_t>(TARNIX_RECORD(errorCode)); }

  static HostRecord* record_;
  static int32_t initResult_;
  static int32_t serial_;
};

HostRecord* SinglePointDll::record_ = nullptr;
int32_t SinglePointDll::initResult_ = 0;
int32_t SinglePointDll::serial_ = 0;

TEST_F(SinglePointDll, InertEntriesAnswerAfterInitialisation) { EXPECT_EQ(WrongInertAnswers(), 0); }

TEST_F(SinglePointDll, AnalogCodesReachTheBoardAsMicrovolts) {
  auto write = Get<TwoArgFn>("DRV_WriteAnalogOutput");
  int32_t microvolts = 1;
  EXPECT_EQ(write(0, 32768), 1);
  ASSERT_EQ(VELQSIM_AnalogOutput(serial_, 0, &microvolts), 0);
  EXPECT_EQ(microvolts, 0);
  EXPECT_EQ(write(1, 0), 1);
  ASSERT_EQ(VELQSIM_AnalogOutput(serial_, 1, &microvolts), 0);
  EXPECT_EQ(microvolts, -9994240);
  EXPECT_EQ(write(0, 65535), 1);
  ASSERT_EQ(VELQSIM_AnalogOutput(serial_, 0, &microvolts), 0);
  EXPECT_EQ(microvolts, 9993935);
}

TEST_F(SinglePointDll, LibraryFailureIsKeptAndExplainedWithTheLibraryText) {
  auto write = Get<TwoArgFn>("DRV_WriteDigitalOutput");
  auto read = Get<OneArgFn>("DRV_ReadDigitalInput");
  EXPECT_EQ(write(0, 0x3C), 1);
  EXPECT_EQ(read(0), 0x3C);
  EXPECT_EQ(ErrorCode(), 4242);

  VELQSIM_FailCall("VELQ_DioWrite", -3, 1);
  EXPECT_EQ(write(0, 0x55), 0);
  EXPECT_EQ(ErrorCode(), -203);
  char text[80] = {};
  VELQ_StrError(-3, text);
  EXPECT_EQ(Get<NoArgFn>("DRV_ShowError")(), 1);
  auto boxes = winetest::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, text);
  EXPECT_TRUE(boxes[0].errorIcon);
}

TEST_F(SinglePointDll, CounterValuesAboveTwoToTheThirtyOneKeepTheirBits) {
  auto write = Get<TwoArgFn>("DRV_WriteCounterOutput");
  auto read = Get<OneArgFn>("DRV_ReadCounterInput");
  const auto high = static_cast<int32_t>(0x80000001u);
  EXPECT_EQ(write(1, high), 1);
  EXPECT_EQ(static_cast<uint32_t>(read(1)), 0x80000001u);
  VELQSIM_FailCall("VELQ_CTRead", -3, 1);
  EXPECT_EQ(read(1), 0);
  EXPECT_EQ(ErrorCode(), -203);
}

}  // namespace
