// Immediate I/O: analog outputs, digital loop-back, counters, and the wires
// that bring outputs back to inputs.
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

// Channel 15 of every default board is wired to its analog output 0. Each
// sample holds what the output held when the sample was taken, however late
// it is read.
TEST_F(SinglePointTest, WiredAnalogInputSamplesWhatTheOutputHeldAtEachSample) {
  StartScan(first_, {15, 0}, 2000);  // 1000 scans per second
  ASSERT_EQ(VELQSIM_AdvanceClock(5000), 0);
  ASSERT_EQ(VELQ_DAWrite(first_, 0, 2500000), 0);
  ASSERT_EQ(VELQ_DAWrite(first_, 1, -7000000), 0);  // not wired to channel 15
  ASSERT_EQ(VELQSIM_AdvanceClock(5000), 0);
  std::vector<int32_t> samples = Read(first_, 12);
  EXPECT_EQ(VELQ_DAWrite(first_, 0, 10000001), kOutputValueRange);
  ASSERT_EQ(VELQ_DAWrite(first_, 0, -1234567), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(2000), 0);
  const std::vector<int32_t> rest = Read(first_, 100);
  samples.insert(samples.end(), rest.begin(), rest.end());
  ASSERT_EQ(samples.size(), 24u);
  std::vector<int32_t> wired;
  for (size_t n = 0; n < samples.size(); n += 2) wired.push_back(samples[n]);
  EXPECT_EQ(wired, (std::vector<int32_t>{0, 0, 0, 0, 0, 2500000, 2500000, 2500000, 2500000, 2500000,
                                         -1234567, -1234567}));
  int32_t microvolts = 0;
  ASSERT_EQ(VELQSIM_SignalAt(first_, 0, 0.001, &microvolts), 0);
  EXPECT_EQ(samples[3], microvolts) << "the other channel keeps its generator";
  ASSERT_EQ(VELQSIM_SignalAt(first_, 15, 0.0, &microvolts), 0);
  EXPECT_EQ(microvolts, -1234567) << "a wired input's signal is the output's present value";
  ASSERT_EQ(VELQSIM_SignalAt(second_, 15, 0.0, &microvolts), 0);
  EXPECT_EQ(microvolts, 0) << "each board's input follows its own output";

  // A new scan starts from the value the output holds.
  ASSERT_EQ(VELQ_ADStop(first_), 0);
  StartScan(first_, {15}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(3000), 0);
  EXPECT_EQ(Read(first_, 10), (std::vector<int32_t>{-1234567, -1234567, -1234567}));

  // Unthrottled, the FIFO is full ahead of any time: a write holds from the
  // first sample not yet read.
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimUnthrottled), 0);
  StartScan(second_, {15}, 1000);
  EXPECT_EQ(Read(second_, 2), (std::vector<int32_t>{0, 0}));
  ASSERT_EQ(VELQ_DAWrite(second_, 0, 3000000), 0);
  EXPECT_EQ(Read(second_, 2), (std::vector<int32_t>{3000000, 3000000}));
}

TEST_F(SinglePointTest, ProfileWiresOutputsToInputs) {
  ASSERT_EQ(VELQSIM_LoadProfileText(R"({"boards": [{"serial": 7, "inputs": 4,
      "analogOutputs": 2, "digitalPorts": 3, "portWidth": 4,
      "signals": [{"channel": 2, "kind": "loopback", "output": 1}],
      "portWires": [{"output": 0, "input": 2}]}]})"),
            0);
  ASSERT_EQ(VELQ_DAWrite(7, 1, -5000000), 0);
  ASSERT_EQ(VELQ_DAWrite(7, 0, 4000000), 0);
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimVirtual), 0);
  StartScan(7, {2}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(2000), 0);
  EXPECT_EQ(Read(7, 10), (std::vector<int32_t>{-5000000, -5000000}));

  int32_t value = -1;
  ASSERT_EQ(VELQ_DioWrite(7, 0, 0x1F), 0);
  ASSERT_EQ(VELQ_DioWrite(7, 2, 0x3), 0);
  ASSERT_EQ(VELQ_DioRead(7, 2, &value), 0);
  EXPECT_EQ(value, 0xF) << "port 2's input is driven by port 0's four bits, not its own output";
  ASSERT_EQ(VELQ_DioRead(7, 0, &value), 0);
  EXPECT_EQ(value, 0xF) << "an output still reads back where no wire ends";
  ASSERT_EQ(VELQ_DioRead(7, 1, &value), 0);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(VELQ_DioWrite(7, 0, 0x6), 0);
  ASSERT_EQ(VELQ_DioRead(7, 2, &value), 0);
  EXPECT_EQ(value, 0x6);
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
