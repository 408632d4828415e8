// Fill status, block transfer and overrun handling against the simulated
// board library.
#include "acquire/transfer.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "acquire/measure.h"
#include "acquire_fixture.h"

namespace tarnix::testing {
namespace {

using TransferTest = AcquireTest;

constexpr int16_t kUntouched = 0x5A5A;

class ConversionExamples : public AcquireTest {
 protected:
  // Feeds `raw` as the next block and returns what the host receives.
  std::vector<int16_t> Transfer(const std::vector<int32_t>& raw) {
    const auto count = static_cast<int32_t>(raw.size());
    Rec().set<int32_t>(TARNIX_RECORD(blockSize), count);
    EXPECT_EQ(VELQSIM_FeedSamples(raw.data(), count, count), 0);
    const int16_t* block = GetInputBuf();
    EXPECT_EQ(block, g_state.hostBuffer);
    return std::vector<int16_t>(block, block + count);
  }
  void SetUp() override {
    AcquireTest::SetUp();
    GiveBuffers(64, 64);
  }
};

TEST_F(TransferTest, FillPercentageAndBlockReady) {
  GiveBuffers(16, 16, 1000);
  struct Case {
    int32_t waiting;
    int32_t saved;
    int32_t ready;
    uint32_t percent;
  };
  for (const Case c : {Case{500, 1000, 1, 50}, Case{255, 1000, 0, 25}, Case{256, 1000, 1, 25},
                       Case{3000, 1000, 1, 300},         // not limited to 100
                       Case{50000000, 1000, 1, 705032},  // product wraps in 32 bits
                       Case{-1, 1000, 0, 4294967},       // unsigned division
                       Case{500, 0, 1, 0},               // nothing saved yet: 0
                       Case{500, -1, 1, 0}}) {
    g_state.savedBufferSize = c.saved;
    VELQSIM_SetAnswer(serial_, velq::kSamplesWaiting, 0, c.waiting);
    EXPECT_EQ(GetInputBufStatus(), c.ready) << c.waiting << " waiting";
    EXPECT_EQ(GetMeasInfoEx()->fillPercent, c.percent) << c.waiting << " / " << c.saved;
  }
  EXPECT_TRUE(traces_.empty()) << traces_.front();
}

TEST_F(ConversionExamples, TenVoltRange) {
  const std::vector<int32_t> raw = {10000000, 12000000, -10000000, -12000000, 4885,      4884,
                                    5000000,  -4885,    -4884,     INT32_MIN, INT32_MAX, 0};
  const std::vector<int16_t> codes = {2047, 2047, -2047, -2047, 1, 0, 1023, -1, 0, -2047, 2047, 0};
  EXPECT_EQ(Transfer(raw), codes);
  EXPECT_EQ(CountCalls("VELQ_ADGetData(" + std::to_string(serial_) + ", ptr, 12)"), 1);
}

TEST_F(ConversionExamples, OtherRanges) {
  SetRange(-5.0, 5.0);  // divisor 2442
  EXPECT_EQ(Transfer({5000000, 2442, 2441, -5000001, 2000000}),
            (std::vector<int16_t>{2047, 1, 0, -2047, 819}));
  SetRange(-9.9, 9.9);  // whole volts: 9, divisor 4396, limit 9000000
  EXPECT_EQ(Transfer({9900000, 9000000, 4396, 4395, -9500000}),
            (std::vector<int16_t>{2047, 2047, 1, 0, -2047}));
  SetRange(0.0, 10.0);
  EXPECT_EQ(Transfer({-1, -10000000, INT32_MIN, 4885}), (std::vector<int16_t>{0, 0, 0, 1}));
  // Ranges below one whole volt have no code scale: 0 everywhere, no trap.
  for (double top : {0.5, -0.99, 0.0}) {
    SetRange(-0.5, top);
    EXPECT_EQ(Transfer({1, -1, INT32_MAX, INT32_MIN}), (std::vector<int16_t>{0, 0, 0, 0}));
  }
  // Nonsense limits (NaN, beyond the integer range, inverted) convert
  // without trapping; an inverted window sends low readings to the low limit.
  SetRange(std::numeric_limits<double>::quiet_NaN(), 1e12);
  EXPECT_EQ(Transfer({5, -5}), (std::vector<int16_t>{0, 0}));
  SetRange(5.0, -5.0);  // low 5000000 above high -5000000; divisor -2442
  EXPECT_EQ(Transfer({0, 6000000, -6000000}), (std::vector<int16_t>{-2047, 2047, -2047}));
}

TEST_F(TransferTest, DeliveredCountIsHonouredWithinWhatWasAsked) {
  GiveBuffers(32, 32);
  std::fill(g_state.hostBuffer, g_state.hostBuffer + 32, kUntouched);
  const std::vector<int32_t> raw(10, 4885 * 3);
  Rec().set<int32_t>(TARNIX_RECORD(blockSize), 10);
  VELQSIM_FeedSamples(raw.data(), 6, 6);
  GetInputBuf();
  EXPECT_EQ(BlockSize(), 6) << "the record keeps the lowered count";
  EXPECT_EQ(g_state.hostBuffer[5], 3);
  EXPECT_EQ(g_state.hostBuffer[6], kUntouched);

  // A library that claims more than it was asked for: only the asked-for
  // samples are converted and the record says so.
  for (int32_t claimed : {1000, -1, INT32_MIN}) {
    std::fill(g_state.hostBuffer, g_state.hostBuffer + 32, kUntouched);
    Rec().set<int32_t>(TARNIX_RECORD(blockSize), 4);
    VELQSIM_FeedSamples(raw.data(), 4, claimed);
    GetInputBuf();
    EXPECT_EQ(BlockSize(), 4) << "claimed " << claimed;
    EXPECT_EQ(g_state.hostBuffer[3], 3);
    EXPECT_EQ(g_state.hostBuffer[4], kUntouched) << "claimed " << claimed;
  }

  // Zero delivered: the host buffer comes back untouched.
  std::fill(g_state.hostBuffer, g_state.hostBuffer + 32, kUntouched);
  Rec().set<int32_t>(TARNIX_RECORD(blockSize), 8);
  VELQSIM_FeedSamples(raw.data(), 0, 0);
  EXPECT_EQ(GetInputBuf(), g_state.hostBuffer);
  EXPECT_EQ(g_state.hostBuffer[0], kUntouched);
}

TEST_F(TransferTest, BlockLargerThanABufferIsCutToFit) {
  struct Case {
    uint32_t host;
    uint32_t local;
    int32_t block;
    int32_t asked;
  };
  for (const Case c :
       {Case{8, 16, 32, 8}, Case{64, 5, 32, 5}, Case{64, 64, -2, 64}, Case{64, 64, 64, 64}}) {
    GiveBuffers(c.host, c.local);
    Rec().set<int32_t>(TARNIX_RECORD(blockSize), c.block);
    std::vector<int32_t> raw(64, 10000000);
    VELQSIM_FeedSamples(raw.data(), 64, 64);
    VELQSIM_ClearLog();
    EXPECT_EQ(GetInputBuf(), g_state.hostBuffer);
    EXPECT_EQ(BlockSize(), c.asked) << "block " << c.block;
    EXPECT_EQ(CountCalls("VELQ_ADGetData(" + std::to_string(serial_) + ", ptr, " +
                         std::to_string(c.asked) + ")"),
              1)
        << Calls().front();
    EXPECT_EQ(g_state.hostBuffer[c.asked - 1], 2047);
    platform::GlobalRelease(g_state.hostBuffer);
    platform::GlobalRelease(g_state.localBuffer);
  }
  g_state.hostBuffer = nullptr;
  g_state.localBuffer = nullptr;
}

TEST_F(TransferTest, NoTransferWithoutBothBuffers) {
  EXPECT_EQ(GetInputBuf(), nullptr);
  EXPECT_EQ(CountCalls("VELQ_ADGetData"), 0);

  // The local buffer released during a measurement (DRV_KillDevice): the
  // host keeps its buffer as it was and the library is not asked.
  GiveBuffers(256, 256);
  std::fill(g_state.hostBuffer, g_state.hostBuffer + 256, kUntouched);
  platform::GlobalRelease(g_state.localBuffer);
  g_state.localBuffer = nullptr;
  g_state.localCapacity = 0;
  EXPECT_EQ(GetInputBuf(), g_state.hostBuffer);
  EXPECT_EQ(g_state.hostBuffer[0], kUntouched);
  EXPECT_EQ(CountCalls("VELQ_ADGetData"), 0);
  EXPECT_EQ(BlockSize(), 256);
}

TEST_F(TransferTest, OverrunStopsTheMeasurementAndTellsTheUser) {
  // No overrun: both indicators asked, nothing else happens.
  ASSERT_EQ(StartMeas(), 1);
  traces_.clear();
  VELQSIM_ClearLog();
  EXPECT_EQ(AdvanceInputBuf(), 1);
  std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("VELQ_Query(" + std::to_string(serial_) + ", 107, 0)", 0), 0u);
  EXPECT_EQ(calls[1].rfind("VELQ_Query(" + std::to_string(serial_) + ", 105, 0)", 0), 0u);
  EXPECT_TRUE(traces_.empty());
  EXPECT_EQ(g_state.busy, 1);

  // Query 107 alone decides; 105 is not asked.
  VELQSIM_SetAnswer(serial_, velq::kOverrunB, 0, 3);
  VELQSIM_ClearLog();
  Rec().set<int32_t>(TARNIX_RECORD(errorCode), 12);
  EXPECT_EQ(AdvanceInputBuf(), 1);
  EXPECT_EQ(CountCalls("VELQ_Query(" + std::to_string(serial_) + ", 105"), 0);
  EXPECT_EQ(CountCalls("VELQ_ADStop("), 1);
  EXPECT_EQ(g_state.busy, 0);
  EXPECT_EQ(GetMeasInfoEx()->stateWord, 0);
  EXPECT_EQ(ErrorCode(), 12) << "an overrun writes no error code";
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "VELQ Sorvik Interface|Driver buffer or hardware FIFO overrun!");
  const std::vector<std::string> expected = {"TARNIX - DRV_AdvanceInputBuf - Buffer overrun\n",
                                             "TARNIX - DRV_StopMeas\n"};
  EXPECT_EQ(traces_, expected);

  // Through 105 after 107 answered 0; the scan already stopped, so no
  // stop call this time.
  VELQSIM_ClearAnswers();
  VELQSIM_SetAnswer(serial_, velq::kOverrunA, 0, -1);
  g_state.busy = 1;
  VELQSIM_ClearLog();
  EXPECT_EQ(AdvanceInputBuf(), 1);
  EXPECT_EQ(CountCalls("VELQ_Query(" + std::to_string(serial_) + ", 107"), 1);
  EXPECT_EQ(CountCalls("VELQ_Query(" + std::to_string(serial_) + ", 105"), 1);
  EXPECT_EQ(CountCalls("VELQ_ADStop("), 0);
  EXPECT_EQ(g_state.busy, 0);
  EXPECT_EQ(boxes_.size(), 2u);
}

}  // namespace
}  // namespace tarnix::testing
