// Immediate I/O: analog outputs, digital loop-back, counters.
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using SinglePointTest = SimTest;

TEST_F(SinglePointTest, AnalogOutputsKeepTheLastValueWithinTenVolts) {
  const int32_t outputs = VELQ_Query(second_, 200, 0);
  ASSERT_GE(outputs, 2);
  int32_t microvolts = 1;
  ASSERT_EQ(VELQSIM_AnalogOutput(second_, 1, &microvolts), 0);
  EXPECT_EQ(microvolts, 0) << "outputs start at 0 V";
  EXPECT_EQ(VELQ_DAWrite(second_, 1, -9994240), 0);
  EXPECT_EQ(VELQ_DAWrite(second_, 0, 10000000), 0);
  EXPECT_EQ(VELQ_DAWrite(second_, 1, 10000001), kOutputValueRange);
  EXPECT_EQ(VELQ_DAWrite(second_, outputs, 0), kBadOutputChannel);
  EXPECT_EQ(VELQ_DAWrite(second_, -1, 0), kBadOutputChannel);
  EXPECT_EQ(VELQ_DAWrite(0, 0, 0), kUnknownSerial);
  ASSERT_EQ(VELQSIM_AnalogOutput(second_, 1, &microvolts), 0);
  EXPECT_EQ(microvolts, -9994240) << "a refused write leaves the last value";
  ASSERT_EQ(VELQSIM_AnalogOutput(second_, 0, &microvolts), 0);
  EXPECT_EQ(microvolts, 10000000);
  ASSERT_EQ(VELQSIM_AnalogOutput(first_, 1, &microvolts), 0);
  EXPECT_EQ(microvolts, 0) << "boards do not share outputs";
  EXPECT_EQ(VELQSIM_AnalogOutput(second_, outputs, &microvolts), kBadOutputChannel);
}

TEST_F(SinglePointTest, DigitalPortsLoopOutputsBackToInputs) {
  const int32_t ports = VELQ_Query(first_, 400, 0);
  ASSERT_GE(ports, 2);
  int32_t value = -1;
  ASSERT_EQ(VELQ_DioRead(first_, 1, &value), 0);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(VELQ_DioWrite(first_, 0, 0xA5), 0);
  ASSERT_EQ(VELQ_DioWrite(first_, 1, 0x3C), 0);
  ASSERT_EQ(VELQ_DioRead(first_, 0, &value), 0);
  EXPECT_EQ(value, 0xA5);
  ASSERT_EQ(VELQ_DioRead(first_, 1, &value), 0);
  EXPECT_EQ(value, 0x3C);
  ASSERT_EQ(VELQ_DioWrite(first_, 1, 0x1FF), 0);
  ASSERT_EQ(VELQ_DioRead(first_, 1, &value), 0);
  EXPECT_EQ(value, 0xFF) << "an 8-bit port drives its 8 bits only";
  EXPECT_EQ(VELQ_DioWrite(first_, ports, 1), kBadPort);
  EXPECT_EQ(VELQ_DioRead(first_, -1, &value), kBadPort);
  EXPECT_EQ(VELQ_DioRead(first_, 0, nullptr), kNullPointer);
  EXPECT_EQ(VELQ_DioWrite(31337, 0, 1), kUnknownSerial);
}

TEST_F(SinglePointTest, CountersCountAtTheirRateAndCanBePreset) {
  int32_t value = -1;
  ASSERT_EQ(VELQ_CTRead(first_, 0, &value), 0);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(2500000), 0);  // 2.5 s at 1000, 100 and 1 counts/s
  ASSERT_EQ(VELQ_CTRead(first_, 0, &value), 0);
  EXPECT_EQ(value, 2500);
  ASSERT_EQ(VELQ_CTRead(first_, 1, &value), 0);
  EXPECT_EQ(value, 250);
  ASSERT_EQ(VELQ_CTRead(first_, 2, &value), 0);
  EXPECT_EQ(value, 2);
  ASSERT_EQ(VELQSIM_AdvanceClock(500000), 0);
  ASSERT_EQ(VELQ_CTRead(first_, 2, &value), 0);
  EXPECT_EQ(value, 3) << "fractions of a count carry over";

  ASSERT_EQ(VELQ_CTWrite(first_, 0, -2), 0);  // preset just below the wrap
  ASSERT_EQ(VELQSIM_AdvanceClock(5000), 0);   // 5 counts
  ASSERT_EQ(VELQ_CTRead(first_, 0, &value), 0);
  EXPECT_EQ(value, 3) << "32-bit counters wrap";
  ASSERT_EQ(VELQ_CTWrite(first_, 1, static_cast<int32_t>(0x80000000u)), 0);
  ASSERT_EQ(VELQ_CTRead(first_, 1, &value), 0);
  EXPECT_EQ(static_cast<uint32_t>(value), 0x80000000u);

  const int32_t counters = VELQ_Query(first_, 300, 0);
  EXPECT_EQ(VELQ_CTWrite(first_, counters, 0), kBadCounter);
  EXPECT_EQ(VELQ_CTRead(first_, counters, &value), kBadCounter);
  EXPECT_EQ(VELQ_CTRead(first_, 0, nullptr), kNullPointer);
  EXPECT_EQ(VELQ_CTRead(kLibrary, 0, &value), kUnknownSerial);
}

}  // namespace
}  // namespace boardsim_test
