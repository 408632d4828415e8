// Single-point analog, digital and counter I/O against the simulated board
// library, and the entries the module accepts without implementing them.
#include "io/single_point.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/driver_exports.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"

namespace tarnix {
namespace {

class SinglePointTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ModuleHandle module = g_state.moduleHandle;
    g_state = DriverState{};
    g_state.moduleHandle = module;
    VELQSIM_Reset();
    VELQSIM_SetClock(kVelqSimVirtual);  // counters move only when told
    serial_ = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, 0);
    ASSERT_NE(serial_, 0) << "the simulated world has no first board";
    g_state.serialNo = serial_;
    record_.assign(kRecordBytesUsed, 0);
    RecordRef(record_.data()).set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion);
    RecordRef(record_.data()).set<int32_t>(TARNIX_RECORD(errorCode), 12345);
    g_state.deviceRecord = record_.data();
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetTraceHook(
        [](const char* text, void* context) {
          static_cast<std::vector<std::string>*>(context)->push_back(text);
        },
        &traces_);
  }
  void TearDown() override {
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetTraceToStderr(1);
    TarnixPortable_SetMessageBoxHook(nullptr, nullptr);
    TarnixPortable_SetMessageBoxToStderr(1);
    g_state = DriverState{};
  }

  int32_t ErrorCode() const {
    return RecordRef(const_cast<uint8_t*>(record_.data())).get<int32_t>(TARNIX_RECORD(errorCode));
  }
  static std::string LastCall() {
    char line[200] = {};
    int32_t count = VELQSIM_CallCount();
    if (count <= 0 || VELQSIM_CallLine(count - 1, line, sizeof line) < 0) return "(no call)";
    return line;
  }

  int32_t serial_ = 0;
  std::vector<uint8_t> record_;
  std::vector<std::string> traces_;
};

TEST(CodeToMicrovoltsTest, OffsetBinaryCodesSpanTenVoltsAndOthersWrap) {
  EXPECT_EQ(CodeToMicrovolts(0), -9994240);
  EXPECT_EQ(CodeToMicrovolts(32768), 0);
  EXPECT_EQ(CodeToMicrovolts(65535), 9993935);
  EXPECT_EQ(CodeToMicrovolts(32769) - CodeToMicrovolts(32768), 305);
  // Codes the host should never send still give the 32-bit wrapped result
  // (and no overflow trap under the sanitizer).
  for (int32_t code : {-1, 65536, INT32_MAX, INT32_MIN, 7041999}) {
    int64_t exact = 305LL * code - 9994240LL;
    auto wrapped = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(exact)));
    EXPECT_EQ(CodeToMicrovolts(code), wrapped) << "code " << code;
  }
}

TEST_F(SinglePointTest, AnalogWritePassesMicrovoltsAndNeverFails) {
  EXPECT_EQ(WriteAnalogOutput(0, 32768), 1);
  int32_t microvolts = -1;
  ASSERT_EQ(VELQSIM_AnalogOutput(serial_, 0, &microvolts), 0);
  EXPECT_EQ(microvolts, 0);
  EXPECT_EQ(WriteAnalogOutput(1, 0), 1);
  ASSERT_EQ(VELQSIM_AnalogOutput(serial_, 1, &microvolts), 0);
  EXPECT_EQ(microvolts, -9994240);
  EXPECT_EQ(LastCall(), "VELQ_DAWrite(" + std::to_string(serial_) + ", 1, -9994240) = 0");

  // A failing library is not reported: result 1, error code untouched.
  VELQSIM_FailCall("VELQ_DAWrite", -3, 1);
  EXPECT_EQ(WriteAnalogOutput(0, 65535), 1);
  EXPECT_EQ(ErrorCode(), 12345);
  EXPECT_TRUE(traces_.empty());
}

TEST_F(SinglePointTest, DigitalWriteAndReadReachTheBoardAndReportLibraryFailures) {
  EXPECT_EQ(WriteDigitalOutput(1, 0xA5), 1);
  EXPECT_EQ(LastCall(), "VELQ_DioWrite(" + std::to_string(serial_) + ", 1, 165) = 0");
  EXPECT_EQ(ReadDigitalInput(1), 0xA5);
  EXPECT_EQ(ErrorCode(), 12345);

  VELQSIM_FailCall("VELQ_DioWrite", -3, 1);
  EXPECT_EQ(WriteDigitalOutput(1, 0x5A), 0);
  EXPECT_EQ(ErrorCode(), -203);

  VELQSIM_FailCall("VELQ_DioRead", -7, 1);
  EXPECT_EQ(ReadDigitalInput(1), 0);
  EXPECT_EQ(ErrorCode(), -207);
  // The failed write changed nothing on the board.
  EXPECT_EQ(ReadDigitalInput(1), 0xA5);
  EXPECT_TRUE(traces_.empty());
}

TEST_F(SinglePointTest, CounterValuesKeepAllThirtyTwoBits) {
  const auto high = static_cast<int32_t>(0xFFFFFFF0u);
  EXPECT_EQ(WriteCounterOutput(0, high), 1);
  EXPECT_EQ(ReadCounterInput(0), high);
  EXPECT_EQ(WriteCounterOutput(0, 0), 1);
  EXPECT_EQ(ReadCounterInput(0), 0);

  // Counting across 2^31 with the board's clock: the driver hands over
  // exactly what the library reads.
  EXPECT_EQ(WriteCounterOutput(0, INT32_MAX - 10), 1);
  VELQSIM_AdvanceClock(1000000);
  int32_t direct = 0;
  ASSERT_EQ(VELQ_CTRead(serial_, 0, &direct), 0);
  ASSERT_LT(direct, 0) << "the first counter did not count past 2^31";
  EXPECT_EQ(ReadCounterInput(0), direct);
  EXPECT_EQ(ErrorCode(), 12345);
}

TEST_F(SinglePointTest, CounterFailuresStoreStatusMinus200EvenAtTheExtremes) {
  VELQSIM_FailCall("VELQ_CTWrite", -1, 1);
  EXPECT_EQ(WriteCounterOutput(0, 5), 0);
  EXPECT_EQ(ErrorCode(), -201);
  VELQSIM_FailCall("VELQ_CTRead", -3, 1);
  EXPECT_EQ(ReadCounterInput(0), 0);
  EXPECT_EQ(ErrorCode(), -203);
  // The most negative status wraps in 32 bits instead of overflowing.
  VELQSIM_FailCall("VELQ_CTRead", INT32_MIN, 1);
  EXPECT_EQ(ReadCounterInput(0), 0);
  EXPECT_EQ(ErrorCode(), static_cast<int32_t>(0x7FFFFF38u));

  // Without a record the failure is still answered with 0, and nothing is
  // written anywhere.
  g_state.deviceRecord = nullptr;
  VELQSIM_FailCall("VELQ_DioWrite", -3, 1);
  EXPECT_EQ(WriteDigitalOutput(0, 1), 0);
}

TEST_F(SinglePointTest, EntriesAddressTheBoardInSerialNoEvenWhenNoneIsSelected) {
  g_state.serialNo = 0;
  int32_t libraryValue = 0;
  int32_t status = VELQ_DioRead(0, 0, &libraryValue);
  int32_t value = ReadDigitalInput(0);
  EXPECT_EQ(LastCall(), "VELQ_DioRead(0, 0, ptr) = " + std::to_string(status));
  if (status < 0) {
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ErrorCode(), static_cast<int32_t>(static_cast<uint32_t>(status) - 200u));
  } else {
    EXPECT_EQ(value, libraryValue);
  }
}

TEST_F(SinglePointTest, DigitalFailureIsExplainedWithTheLibraryText) {
  VELQSIM_FailCall("VELQ_DioWrite", -3, 1);
  ASSERT_EQ(WriteDigitalOutput(0, 1), 0);
  char expected[velq::kErrorTextBytes] = {};
  VELQ_StrError(-3, expected);
  ASSERT_NE(expected[0], '\0') << "the library has no text for -3";

  std::vector<std::string> boxes;
  TarnixPortable_SetMessageBoxToStderr(0);
  TarnixPortable_SetMessageBoxHook(
      [](const char* text, const char*, uint32_t, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &boxes);
  EXPECT_EQ(DRV_ShowError(), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], expected);
}

TEST_F(SinglePointTest, ExplainGainCodeAndInertEntriesAnswerFixedValuesAtAnyTime) {
  auto checkInert = [](const char* when) {
    for (auto entry : {DRV_SetScanList, DRV_SetAnalogOutputBufferMode,
                       DRV_SetCounterOutputBufferMode, DRV_SetDigitalOutputBufferMode}) {
      EXPECT_EQ(entry(1, -2, 3), 0) << when;
    }
    for (auto entry : {DRV_AdvanceAnalogOutputBuf, DRV_AdvanceCounterOutputBuf,
                       DRV_AdvanceDigitalOutputBuf, DRV_GetAnalogOutputStatus}) {
      EXPECT_EQ(entry(), 1) << when;
    }
    for (auto entry :
         {DRV_GetAnalogOutputBuf, DRV_GetCounterOutputBuf, DRV_GetCounterOutputStatus,
          DRV_GetDigitalOutputBuf, DRV_GetDigitalOutputStatus, DRV_GetHardwareDescription}) {
      EXPECT_EQ(entry(), 0) << when;
    }
    const char* text = DRV_ExplainGainCode(7, -1);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, " ? ? ? ") << when;
    EXPECT_EQ(std::strlen(text), 7u);
    EXPECT_EQ(DRV_ExplainGainCode(0, 0), text);
  };

  g_state = DriverState{};
  VELQSIM_ClearLog();
  checkInert("before initialisation");
  EXPECT_TRUE(traces_.empty());
  EXPECT_EQ(VELQSIM_CallCount(), 0);  // no library call either

  TarnixPortable_SetVirtualClock(1);  // the splash's two seconds pass at once
  TarnixPortable_SetMessageBoxToStderr(0);
  ASSERT_EQ(DRV_InitDevice(record_.data()), 1);
  traces_.clear();
  VELQSIM_ClearLog();
  checkInert("after initialisation");
  EXPECT_TRUE(traces_.empty());
  EXPECT_EQ(VELQSIM_CallCount(), 0);
  TarnixPortable_SetVirtualClock(0);
}

}  // namespace
}  // namespace tarnix
