// Settings check, start and stop against the simulated board library.
#include "acquire/measure.h"

#include <cmath>
#include <limits>

#include "acquire/transfer.h"
#include "acquire_fixture.h"

namespace tarnix::testing {
namespace {

using MeasureTest = AcquireTest;

void SetUnsupported(const RecordRef& r, int i, int32_t v) {
  r.set<int32_t>(TARNIX_RECORD(unsupportedSettings) + 4 * i, v);
}
void SetOther(const RecordRef& r, int i, int32_t v) {
  r.set<int32_t>(TARNIX_RECORD(otherSelections) + 4 * i, v);
}

TEST_F(MeasureTest, ChecksRunInOrderAndBusyBeatsEverything) {
  // Everything wrong at once: only the first check speaks.
  SetUnsupported(Rec(), 0, 1);
  Rec().set<double>(TARNIX_RECORD(sampleRate), maxRate_ * 2.0);
  Rec().set<int32_t>(TARNIX_RECORD(blockSize), 1);
  VELQSIM_SetAnswer(serial_, velq::kAdState, 0, velq::kAdRunning);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -100);

  VELQSIM_ClearAnswers();
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -101);
  // Each of the three words counts, the last one too.
  SetUnsupported(Rec(), 0, 0);
  SetUnsupported(Rec(), 2, -5);
  Rec().set<int32_t>(TARNIX_RECORD(errorCode), 0);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -101);

  SetUnsupported(Rec(), 2, 0);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -102);

  Rec().set<double>(TARNIX_RECORD(sampleRate), 1000.0);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -104);
  EXPECT_EQ(traces_.front(), "TARNIX - DRV_TestStruct\n");
}

TEST_F(MeasureTest, RateBoundAppliesOnlyWithChannelsEnabled) {
  g_state.savedBufferSize = 0;
  Rec().set<double>(TARNIX_RECORD(sampleRate), static_cast<double>(maxRate_));
  EXPECT_EQ(TestStruct(), 1) << "rate equal to the maximum passes";
  for (double rate : {0.0, -50.0, std::numeric_limits<double>::quiet_NaN()}) {
    Rec().set<double>(TARNIX_RECORD(sampleRate), rate);
    EXPECT_EQ(TestStruct(), 1) << "rate " << rate;
  }
  Rec().set<double>(TARNIX_RECORD(sampleRate), std::nextafter(double(maxRate_), 1e300));
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -102);

  // No analog channel: the rate is not looked at, but some selection must be.
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0);
  Rec().set<int32_t>(TARNIX_RECORD(errorCode), 0);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -103);
  for (int i = 0; i < 4; ++i) {
    SetOther(Rec(), i, 7);
    EXPECT_EQ(TestStruct(), 1) << "otherSelections[" << i << "]";
    SetOther(Rec(), i, 0);
  }
  // With channels enabled otherSelections do not rescue a bad rate.
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x8000);
  SetOther(Rec(), 1, 1);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(ErrorCode(), -102);
}

TEST_F(MeasureTest, BlockSizeBoundsAndFactorsRewrittenFirst) {
  g_state.savedBufferSize = 0;
  struct Case {
    int32_t block;
    int32_t result;
  };
  for (const Case c : {Case{1, 0}, Case{2, 1}, Case{65535, 1}, Case{65536, 0}, Case{-1, 0},
                       Case{-65535, 0}, Case{0, 0}}) {
    Rec().set<uint32_t>(TARNIX_RECORD(factorA), 0);
    Rec().set<uint32_t>(TARNIX_RECORD(factorB), 0);
    Rec().set<uint32_t>(TARNIX_RECORD(factorC), 9);
    Rec().set<int32_t>(TARNIX_RECORD(blockSize), c.block);
    Rec().set<int32_t>(TARNIX_RECORD(errorCode), 0);
    EXPECT_EQ(TestStruct(), c.result) << "blockSize " << c.block;
    EXPECT_EQ(ErrorCode(), c.result ? 0 : -104) << "blockSize " << c.block;
    EXPECT_EQ(Rec().get<uint32_t>(TARNIX_RECORD(factorA)), 1u);
    EXPECT_EQ(Rec().get<uint32_t>(TARNIX_RECORD(factorB)), 1u);
    EXPECT_EQ(Rec().get<uint32_t>(TARNIX_RECORD(factorC)), 9u);
  }
  // A failure before the factor step leaves them alone.
  Rec().set<uint32_t>(TARNIX_RECORD(factorA), 0);
  SetUnsupported(Rec(), 1, 1);
  EXPECT_EQ(TestStruct(), 0);
  EXPECT_EQ(Rec().get<uint32_t>(TARNIX_RECORD(factorA)), 0u);
}

TEST_F(MeasureTest, ChangedBufferSizeIsShownButPasses) {
  Rec().set<int32_t>(TARNIX_RECORD(bufferSize), 8000);
  g_state.savedBufferSize = 5000;
  Rec().set<int32_t>(TARNIX_RECORD(errorCode), 77);
  EXPECT_EQ(TestStruct(), 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "VELQ Sorvik Interface|Buffer size cannot be changed!");
  EXPECT_EQ(ErrorCode(), 77) << "a pass does not clear errorCode";
  g_state.savedBufferSize = 8000;
  EXPECT_EQ(TestStruct(), 1);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(MeasureTest, CheckBitsListsSetBitsLowestFirst) {
  for (int32_t& n : g_state.channelNumbers) n = -1;
  EXPECT_EQ(CheckBits(0), 0);
  EXPECT_EQ(g_state.channelNumbers[0], -1) << "nothing stored for an empty mask";
  EXPECT_EQ(CheckBits(0x8005), 3);
  EXPECT_EQ(g_state.channelNumbers[0], 0);
  EXPECT_EQ(g_state.channelNumbers[1], 2);
  EXPECT_EQ(g_state.channelNumbers[2], 15);
  EXPECT_EQ(g_state.channelNumbers[3], -1);
  EXPECT_EQ(CheckBits(0xFFFFFFFFu), 32);
  EXPECT_EQ(g_state.channelNumbers[31], 31);
  EXPECT_EQ(traces_.back(), "TARNIX:CheckBits\n");
}

TEST_F(MeasureTest, RateArgumentTruncatesThenDividesUnsignedInBurst) {
  struct Case {
    double rate;
    int32_t mode;
    uint16_t mask;
    uint32_t expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case c :
       {Case{1000.7, 1, 0x7, 333}, Case{1000.7, 0, 0x7, 1000},
        Case{5e9, 0, 0x1, 705032704u},    // low 32 bits of 5000000000
        Case{-1.5, 0, 0x1, 0xFFFFFFFFu},  // -1 in 32 bits
        Case{-1.5, 1, 0x3, 0x7FFFFFFFu},  // unsigned division
        Case{nan, 0, 0x1, 0u},            // INT64_MIN, low bits 0
        Case{1e300, 0, 0x1, 0u}, Case{-std::numeric_limits<double>::infinity(), 0, 0x1, 0u},
        Case{4294967296.0 + 17.9, 0, 0x1, 17u}}) {
    g_state.busy = 0;
    g_state.mode = c.mode;
    Rec().set<double>(TARNIX_RECORD(sampleRate), c.rate);
    Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), c.mask);
    StartMeas();
    EXPECT_EQ(static_cast<uint32_t>(g_state.rateArgument), c.expected)
        << "rate " << c.rate << " mode " << c.mode;
    VelqSimAdConfig config{};
    ASSERT_EQ(VELQSIM_LastADConfig(&config), 0);
    EXPECT_EQ(static_cast<uint32_t>(config.rate), c.expected);
    EXPECT_EQ(config.mode, c.mode);
    StopMeas();
  }
}

TEST_F(MeasureTest, StartConfiguresListGainsAndTraces) {
  // The second simulated board has a third input range.
  serial_ = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, 1);
  g_state.serialNo = serial_;
  g_state.range = 2;
  g_state.gain = 1;
  g_state.clockSource = 1;
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x8005);
  EXPECT_EQ(StartMeas(), 1);
  VelqSimAdConfig config{};
  ASSERT_EQ(VELQSIM_LastADConfig(&config), 0);
  EXPECT_EQ(config.serial, serial_);
  EXPECT_EQ(config.clockSource, 1);
  EXPECT_EQ(config.reserved, 0);
  ASSERT_EQ(config.channelCount, 3);
  const int32_t channels[] = {0, 2, 15};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(config.channels[i], channels[i]);
    EXPECT_EQ(config.gainCodes[i], 513) << "entry " << i;
    EXPECT_EQ(g_state.channelList[i], channels[i]);
  }
  const std::vector<std::string> expected = {
      "TARNIX - DRV_StartMeas\n",
      "TARNIX - StartAD\n",
      "TARNIX:CheckBits\n",
      "TARNIX - StartAD - Serial No = " + std::to_string(serial_) + ", Channel list length 3\n",
      "TARNIX - StartAD - Range = 2\n",
      "TARNIX - StartAD - Channel = 0\n",
      "TARNIX - StartAD - Channel = 2\n",
      "TARNIX - StartAD - Channel = 15\n"};
  EXPECT_EQ(traces_, expected);
  EXPECT_EQ(CountCalls("VELQ_ADStart("), 1);

  // Indexes that do not fit a byte are shifted on unsigned bits (the board
  // may well refuse such codes; what matters is what was handed over).
  StopMeas();
  g_state.range = 0x01000001;
  g_state.gain = -1;
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 1);
  StartMeas();
  EXPECT_EQ(g_state.gainCodes[0], -1);
  g_state.gain = 0;
  StopMeas();
  StartMeas();
  EXPECT_EQ(g_state.gainCodes[0], 0x100);
}

TEST_F(MeasureTest, LibraryFailuresKeepTheRunState) {
  VELQSIM_FailCall("VELQ_ADConfig", -3, 1);
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x3);
  EXPECT_EQ(StartMeas(), 0);
  EXPECT_EQ(ErrorCode(), -203);
  EXPECT_EQ(g_state.busy, 1);
  EXPECT_EQ(GetMeasInfoEx()->stateWord, 0x10000);
  EXPECT_EQ(CountCalls("VELQ_ADStart("), 0);
  EXPECT_EQ(traces_.back(), "TARNIX - StartAD - Device failed to configure\n");

  StopMeas();
  EXPECT_EQ(GetMeasInfoEx()->stateWord, 0);
  VELQSIM_FailCall("VELQ_ADStart", -7, 1);
  EXPECT_EQ(StartMeas(), 0);
  EXPECT_EQ(ErrorCode(), -207);
  EXPECT_EQ(g_state.busy, 1);
  EXPECT_EQ(traces_.back(), "TARNIX - StartAD - Device failed to start\n");
}

TEST_F(MeasureTest, EmptyMaskStartsWithoutTheLibraryAndSecondStartIsRefused) {
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0);
  Rec().set<int32_t>(TARNIX_RECORD(errorCode), 55);
  EXPECT_EQ(StartMeas(), 1);
  EXPECT_EQ(g_state.busy, 1);
  EXPECT_EQ(g_state.stateWord, 0x10000);
  EXPECT_TRUE(Calls().empty()) << Calls().front();

  traces_.clear();
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 1);
  EXPECT_EQ(StartMeas(), 0);
  EXPECT_EQ(ErrorCode(), 55);
  EXPECT_TRUE(Calls().empty());
  const std::vector<std::string> expected = {"TARNIX - DRV_StartMeas\n",
                                             "TARNIX - DRV_StartMeas - Error, device busy\n"};
  EXPECT_EQ(traces_, expected);
}

TEST_F(MeasureTest, StopHaltsTheScanOnlyWhenItRuns) {
  EXPECT_EQ(StartMeas(), 1);
  EXPECT_EQ(VELQ_Query(serial_, velq::kAdState, 0), 1);
  EXPECT_EQ(GetMeasInfoEx()->stateWord, 0x10000);
  VELQSIM_ClearLog();
  EXPECT_EQ(StopMeas(), 1);
  EXPECT_EQ(g_state.busy, 0);
  EXPECT_EQ(g_state.stateWord, 0);
  EXPECT_EQ(GetMeasInfoEx()->stateWord, 0);
  EXPECT_EQ(CountCalls("VELQ_ADStop("), 1);
  EXPECT_NE(VELQ_Query(serial_, velq::kAdState, 0), 1);

  // Not running: no stop call, state cleared all the same.
  g_state.busy = 1;
  g_state.stateWord = 0x10000;
  VELQSIM_ClearLog();
  EXPECT_EQ(StopMeas(), 1);
  EXPECT_EQ(g_state.busy, 0);
  EXPECT_EQ(CountCalls("VELQ_ADStop("), 0);
  EXPECT_EQ(CountCalls("VELQ_Query("), 1);
  EXPECT_EQ(traces_.back(), "TARNIX - DRV_StopMeas\n");
}

TEST_F(MeasureTest, MeasInfoExWritesOnlyItsTwoWords) {
  const MeasInfoEx* info = GetMeasInfoEx();
  EXPECT_EQ(GetMeasInfoEx(), info) << "one record for the life of the process";
  Rec().set<uint16_t>(TARNIX_RECORD(adChannelMask), 0);
  StartMeas();
  GiveBuffers(16, 16, 1000);
  VELQSIM_SetAnswer(serial_, velq::kSamplesWaiting, 0, 500);
  GetInputBufStatus();
  GetMeasInfoEx();
  const auto* words = reinterpret_cast<const uint32_t*>(info);
  for (std::size_t i = 0; i < sizeof(MeasInfoEx) / 4; ++i) {
    const uint32_t expected = i == 0 ? 0x10000u : i == 5 ? 50u : 0u;
    EXPECT_EQ(words[i], expected) << "word at offset " << 4 * i;
  }
}

}  // namespace
}  // namespace tarnix::testing
