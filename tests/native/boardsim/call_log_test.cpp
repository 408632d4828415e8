// The call log and injected failures.
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using CallLogTest = SimTest;

TEST_F(CallLogTest, EveryCallIsLoggedInOrderWithArgumentsAndResult) {
  char name[40];
  int32_t value = 0;
  int32_t rate = 500;
  int32_t channels[2] = {1, 2};
  int32_t gains[2] = {0x101, 0x101};
  int32_t buffer[8];
  int32_t count = 8;
  VELQ_Query(first_, 102, 0);
  VELQ_StrBoardName(0, name);
  VELQ_StrError(-3, nullptr);
  VELQ_ADConfig(first_, &rate, 0, 1, 0, channels, gains, 2);
  VELQ_ADStart(first_);
  VELQ_ADGetData(first_, buffer, &count);
  VELQ_ADGetData(first_, nullptr, nullptr);
  VELQ_ADStop(first_);
  VELQ_DAWrite(first_, 1, -305);
  VELQ_DioWrite(first_, 0, 7);
  VELQ_DioRead(first_, 0, &value);
  VELQ_CTWrite(first_, 1, 9);
  VELQ_CTRead(first_, 1, nullptr);
  const std::string s = std::to_string(first_);
  const std::vector<std::string> expected = {
      "VELQ_Query(" + s + ", 102, 0) = 100000",
      "VELQ_StrBoardName(0, ptr) = 0",
      "VELQ_StrError(-3, null) = -3",
      "VELQ_ADConfig(" + s + ", ptr, 0, 1, 0, ptr, ptr, 2) = 0",
      "VELQ_ADStart(" + s + ") = 0",
      "VELQ_ADGetData(" + s + ", ptr, 8) = 0",
      "VELQ_ADGetData(" + s + ", null, null) = -3",
      "VELQ_ADStop(" + s + ") = 0",
      "VELQ_DAWrite(" + s + ", 1, -305) = 0",
      "VELQ_DioWrite(" + s + ", 0, 7) = 0",
      "VELQ_DioRead(" + s + ", 0, ptr) = 0",
      "VELQ_CTWrite(" + s + ", 1, 9) = 0",
      "VELQ_CTRead(" + s + ", 1, null) = -3",
  };
  EXPECT_EQ(CallLines(), expected);
  ASSERT_EQ(VELQSIM_ClearLog(), 0);
  EXPECT_EQ(VELQSIM_CallCount(), 0);
  VELQSIM_SetAnswer(first_, 10, 0, 1);
  EXPECT_EQ(VELQSIM_CallCount(), 0) << "control calls are not logged";
}

TEST_F(CallLogTest, InjectedFailuresAnswerTheChosenStatusWithoutActing) {
  ASSERT_EQ(VELQSIM_FailCall("VELQ_DioWrite", -3, 2), 0);
  EXPECT_EQ(VELQ_DioWrite(first_, 0, 0x11), -3);
  EXPECT_EQ(VELQ_DioWrite(first_, 0, 0x22), -3);
  EXPECT_EQ(VELQ_DioWrite(first_, 0, 0x33), 0) << "two failures, then normal again";
  int32_t value = 0;
  ASSERT_EQ(VELQ_DioRead(first_, 0, &value), 0);
  EXPECT_EQ(value, 0x33);

  ASSERT_EQ(VELQSIM_FailCall("VELQ_Query", -77, -1), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), -77);
  ASSERT_EQ(VELQSIM_FailCall("VELQ_Query", 0, 0), 0);
  EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), 3);

  // A failed transfer leaves the caller's count and buffer alone.
  StartScan(first_, {0}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(10000), 0);
  ASSERT_EQ(VELQSIM_FailCall("VELQ_ADGetData", -9, 1), 0);
  int32_t buffer[2] = {42, 42};
  int32_t count = 2;
  EXPECT_EQ(VELQ_ADGetData(first_, buffer, &count), -9);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(buffer[0], 42);
  EXPECT_EQ(VELQ_Query(first_, 109, 0), 10);

  char name[40] = "garbage";
  ASSERT_EQ(VELQSIM_FailCall("VELQ_StrBoardName", -1, 1), 0);
  EXPECT_EQ(VELQ_StrBoardName(first_, name), -1);
  EXPECT_STREQ(name, "") << "a failing call still leaves a terminated text";

  EXPECT_EQ(VELQSIM_FailCall("VELQ_Nothing", -1, 1), kBadParameter);
  EXPECT_EQ(VELQSIM_FailCall("VELQ_Query", -1, -2), kBadParameter);
  EXPECT_EQ(VELQSIM_FailCall(nullptr, -1, 1), kNullPointer);
  EXPECT_EQ(CallLine(VELQSIM_CallCount() - 1),
            "VELQ_StrBoardName(" + std::to_string(first_) + ", ptr) = -1");
}

}  // namespace
}  // namespace boardsim_test
