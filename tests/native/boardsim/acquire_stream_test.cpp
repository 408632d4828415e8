// The sample stream: pacing by the virtual clock, scan order and values,
// the FIFO and its overrun indicators, the bounds of VELQ_ADGetData.
#include <chrono>
#include <cstring>

#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using StreamTest = SimTest;

int32_t Waiting(int32_t serial) { return VELQ_Query(serial, 109, 0); }

// What stream sample `n` must hold: channel list[n % count] at the time of
// its scan.
int32_t Expected(int32_t serial, const std::vector<int32_t>& list, double scanRate, size_t n) {
  int32_t microvolts = 0;
  const double seconds = static_cast<double>(n / list.size()) / scanRate;
  EXPECT_EQ(VELQSIM_SignalAt(serial, list[n % list.size()], seconds, &microvolts), 0);
  return microvolts;
}

TEST_F(StreamTest, VirtualClockGivesExactCounts) {
  StartScan(first_, {0, 1}, 1000);  // normal mode: 1000 samples per second
  EXPECT_EQ(Waiting(first_), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(1000000), 0);
  EXPECT_EQ(Waiting(first_), 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(1500), 0);  // 1.5 samples: the half is carried
  EXPECT_EQ(Waiting(first_), 1001);
  ASSERT_EQ(VELQSIM_AdvanceClock(500), 0);
  EXPECT_EQ(Waiting(first_), 1002);
  EXPECT_EQ(Waiting(second_), 0) << "an idle board accrues nothing";

  StartScan(second_, {4, 5, 6}, 100, /*mode=*/1);  // burst: 100 scans of 3 per second
  ASSERT_EQ(VELQSIM_AdvanceClock(250000), 0);
  EXPECT_EQ(Waiting(second_), 75);
  EXPECT_EQ(Waiting(first_), 1252);

  ASSERT_EQ(VELQ_ADStop(first_), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(1000000), 0);
  EXPECT_EQ(Waiting(first_), 1252) << "a stopped scan accrues nothing";
  EXPECT_EQ(Read(first_, 2000).size(), 1252u) << "what waited is still readable after the stop";
  EXPECT_EQ(VELQSIM_AdvanceClock(-1), kBadParameter);
}

TEST_F(StreamTest, SamplesComeInScanOrderWithTheirChannelsValues) {
  ASSERT_EQ(VELQSIM_SetSignal(first_, 2, kVelqSimSine, 3000000, 100000, 7000), 0);
  ASSERT_EQ(VELQSIM_SetSignal(first_, 0, kVelqSimRamp, 1000000, 0, 3000), 0);
  ASSERT_EQ(VELQSIM_SetSignal(first_, 9, kVelqSimConstant, 0, -1234567, 0), 0);
  const std::vector<int32_t> list = {2, 0, 9, 2, 3};  // repeats allowed; channel 3 is noise
  StartScan(first_, list, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(200000), 0);
  const std::vector<int32_t> samples = Read(first_, 200);
  ASSERT_EQ(samples.size(), 200u);
  for (size_t n = 0; n < samples.size(); ++n) {
    ASSERT_EQ(samples[n], Expected(first_, list, 1000.0 / list.size(), n)) << "sample " << n;
  }
  EXPECT_EQ(samples[2], -1234567);
  EXPECT_EQ(samples[0], samples[3]) << "one scan samples both copies of channel 2 at one time";
  EXPECT_NE(samples[4], samples[9]) << "noise differs from scan to scan";

  // Burst mode: the rate counts scans.
  const std::vector<int32_t> burst = {2, 0};
  StartScan(second_, burst, 50, 1);
  ASSERT_EQ(VELQSIM_SetSignal(second_, 2, kVelqSimSine, 3000000, 0, 7000), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(100000), 0);
  const std::vector<int32_t> scans = Read(second_, 100);
  ASSERT_EQ(scans.size(), 10u);
  for (size_t n = 0; n < scans.size(); ++n) {
    EXPECT_EQ(scans[n], Expected(second_, burst, 50.0, n)) << "sample " << n;
  }
}

TEST_F(StreamTest, GeneratorsFollowTheirShapes) {
  struct Point {
    int32_t kind;
    double seconds;
    int32_t microvolts;
  };
  // Amplitude 1 V, offset 0.5 V, 1 Hz.
  const Point points[] = {
      {kVelqSimSine, 0.0, 500000},       {kVelqSimSine, 0.25, 1500000},
      {kVelqSimSine, 0.75, -500000},     {kVelqSimSquare, 0.25, 1500000},
      {kVelqSimSquare, 0.75, -500000},   {kVelqSimRamp, 0.0, -500000},
      {kVelqSimRamp, 0.5, 500000},       {kVelqSimRamp, 1.75, 1000000},
      {kVelqSimConstant, 123.0, 500000},
  };
  for (const Point& p : points) {
    ASSERT_EQ(VELQSIM_SetSignal(first_, 1, p.kind, 1000000, 500000, 1000), 0);
    int32_t microvolts = 0;
    ASSERT_EQ(VELQSIM_SignalAt(first_, 1, p.seconds, &microvolts), 0);
    EXPECT_EQ(microvolts, p.microvolts) << "kind " << p.kind << " at " << p.seconds << " s";
  }
  ASSERT_EQ(VELQSIM_SetSignal(first_, 1, kVelqSimNoise, 1000000, 500000, 0), 0);
  for (int i = 0; i < 200; ++i) {
    int32_t a = 0, b = 0;
    ASSERT_EQ(VELQSIM_SignalAt(first_, 1, i * 0.001, &a), 0);
    ASSERT_EQ(VELQSIM_SignalAt(first_, 1, i * 0.001, &b), 0);
    EXPECT_EQ(a, b) << "noise is repeatable";
    EXPECT_GE(a, -500000);
    EXPECT_LE(a, 1500000);
  }
  // The default mix stays within +-10 V on every input of every board.
  VELQSIM_Reset();
  for (int32_t serial : {first_, second_}) {
    for (int32_t channel = 0; channel < 16; ++channel) {
      for (double t = 0.0; t < 2.0; t += 0.0137) {
        int32_t microvolts = 0;
        ASSERT_EQ(VELQSIM_SignalAt(serial, channel, t, &microvolts), 0);
        ASSERT_LE(std::abs(microvolts), 10000000) << serial << " channel " << channel;
      }
    }
  }
  int32_t unused = 0;
  EXPECT_EQ(VELQSIM_SignalAt(first_, 16, 0.0, &unused), kBadChannel);
  EXPECT_EQ(VELQSIM_SetSignal(first_, 0, 5, 0, 0, 0), kBadParameter);
  EXPECT_EQ(VELQSIM_SignalAt(first_, 0, 0.0, nullptr), kNullPointer);
}

TEST_F(StreamTest, GetDataStaysWithinTheCountAndReportsWhatItDelivered) {
  StartScan(first_, {0}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(100000), 0);  // 100 waiting
  int32_t delivered = 0;
  EXPECT_EQ(Read(first_, 30, &delivered).size(), 30u);
  EXPECT_EQ(delivered, 30);
  EXPECT_EQ(Read(first_, 500, &delivered).size(), 70u) << "only what waits is delivered";
  EXPECT_EQ(delivered, 70);
  EXPECT_EQ(Read(first_, 0, &delivered).size(), 0u);

  // The count may sit at an odd address inside a packed record.
  ASSERT_EQ(VELQSIM_AdvanceClock(10000), 0);
  alignas(4) unsigned char record[16] = {};
  const int32_t wanted = 4;
  std::memcpy(record + 1, &wanted, 4);
  int32_t buffer[5] = {0, 0, 0, 0, 0x77};
  EXPECT_EQ(VELQ_ADGetData(first_, buffer, reinterpret_cast<int32_t*>(record + 1)), 4);
  int32_t written = 0;
  std::memcpy(&written, record + 1, 4);
  EXPECT_EQ(written, 4);
  EXPECT_EQ(buffer[4], 0x77);

  int32_t count = -3;
  EXPECT_EQ(VELQ_ADGetData(first_, buffer, &count), kBadCount);
  EXPECT_EQ(count, 0);
  count = 5;
  EXPECT_EQ(VELQ_ADGetData(first_, nullptr, &count), kNullPointer);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(VELQ_ADGetData(first_, buffer, nullptr), kNullPointer);
  count = 5;
  EXPECT_EQ(VELQ_ADGetData(999, buffer, &count), kUnknownSerial);
  EXPECT_EQ(count, 0) << "nothing delivered, so the caller converts nothing";
  EXPECT_EQ(Waiting(first_), 6) << "refused calls took nothing from the FIFO";

  void* address = nullptr;
  int32_t serial = 0, onEntry = 0;
  ASSERT_EQ(VELQSIM_LastADGetData(&serial, &address, &onEntry), 0);
  EXPECT_EQ(serial, 999);
  EXPECT_EQ(address, static_cast<void*>(buffer));
  EXPECT_EQ(onEntry, 5);
}

TEST_F(StreamTest, FullFifoDropsNewSamplesAndRaisesBothIndicators) {
  const std::vector<int32_t> list = {1, 2};
  StartScan(first_, list, 1000);
  ASSERT_EQ(VELQSIM_SetFifoCapacity(first_, 100), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(99000), 0);
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(51000), 0);  // 150 due, room for 100
  EXPECT_EQ(Waiting(first_), 100);
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 1);
  EXPECT_EQ(VELQ_Query(first_, 105, 0), 50) << "samples lost";
  const std::vector<int32_t> kept = Read(first_, 100);
  ASSERT_EQ(kept.size(), 100u);
  for (size_t n = 0; n < kept.size(); ++n)
    ASSERT_EQ(kept[n], Expected(first_, list, 500.0, n)) << n;
  // After the gap the stream goes on where the clock is, not where reading stopped.
  ASSERT_EQ(VELQSIM_AdvanceClock(10000), 0);
  const std::vector<int32_t> later = Read(first_, 100);
  ASSERT_EQ(later.size(), 10u);
  for (size_t n = 0; n < later.size(); ++n) {
    ASSERT_EQ(later[n], Expected(first_, list, 500.0, 150 + n)) << n;
  }
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 1) << "indicators latch until the next start";

  ASSERT_EQ(VELQ_ADStop(first_), 0);
  ASSERT_EQ(VELQ_ADStart(first_), 0);
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 0);
  EXPECT_EQ(VELQ_Query(first_, 105, 0), 0);
  EXPECT_EQ(Waiting(first_), 0) << "a start empties the FIFO";

  ASSERT_EQ(VELQSIM_ForceOverrun(first_, 105, 3), 0);
  EXPECT_EQ(VELQ_Query(first_, 105, 0), 3);
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 0);
  ASSERT_EQ(VELQSIM_ForceOverrun(first_, 105, 0), 0);
  ASSERT_EQ(VELQSIM_ForceOverrun(first_, 107, 1), 0);
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 1);
  EXPECT_EQ(VELQ_Query(first_, 105, 0), 0);
  EXPECT_EQ(VELQSIM_ForceOverrun(first_, 106, 1), kBadParameter);
  EXPECT_EQ(VELQSIM_SetFifoCapacity(first_, 0), kBadParameter);
}

TEST_F(StreamTest, ExternalClockAccruesOnlyOnPulses) {
  StartScan(first_, {3}, 1000, 0, /*clockSource=*/1);
  StartScan(second_, {3}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(1000000), 0);
  EXPECT_EQ(Waiting(first_), 0);
  ASSERT_EQ(VELQSIM_PulseExternalClock(first_, 7), 0);
  EXPECT_EQ(Waiting(first_), 7);
  ASSERT_EQ(VELQSIM_PulseExternalClock(second_, 7), 0);
  EXPECT_EQ(Waiting(second_), 1000) << "an internally clocked scan ignores pulses";
  ASSERT_EQ(VELQSIM_SetFifoCapacity(first_, 10), 0);
  ASSERT_EQ(VELQSIM_PulseExternalClock(first_, 5), 0);
  EXPECT_EQ(Waiting(first_), 10);
  EXPECT_EQ(VELQ_Query(first_, 105, 0), 2);
  EXPECT_EQ(VELQSIM_PulseExternalClock(first_, -1), kBadParameter);
  EXPECT_EQ(VELQSIM_PulseExternalClock(5, 1), kUnknownSerial);
}

TEST_F(StreamTest, UnthrottledServesEveryRequestInFull) {
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimUnthrottled), 0);
  ASSERT_EQ(VELQSIM_SetFifoCapacity(first_, 4096), 0);
  const std::vector<int32_t> list = {0, 6};
  StartScan(first_, list, 1);
  EXPECT_EQ(Waiting(first_), 4096);
  const std::vector<int32_t> big = Read(first_, 10000);
  ASSERT_EQ(big.size(), 10000u);
  for (size_t n = 0; n < big.size(); n += 997) EXPECT_EQ(big[n], Expected(first_, list, 0.5, n));
  EXPECT_EQ(VELQ_Query(first_, 107, 0), 0);
  EXPECT_EQ(VELQSIM_SetClock(3), kBadParameter);
}

TEST_F(StreamTest, FedSamplesReplaceOneTransferWithinTheCountAsked) {
  StartScan(first_, {0}, 1000);
  ASSERT_EQ(VELQSIM_AdvanceClock(10000), 0);
  const int32_t fed[5] = {-1, 2, -3, 4, -5};
  ASSERT_EQ(VELQSIM_FeedSamples(fed, 5, 9), 0);
  int32_t buffer[4] = {0, 0, 0, 0x77};
  int32_t count = 3;
  EXPECT_EQ(VELQ_ADGetData(first_, buffer, &count), 3);
  EXPECT_EQ(std::vector<int32_t>(buffer, buffer + 4), (std::vector<int32_t>{-1, 2, -3, 0x77}));
  EXPECT_EQ(count, 9) << "the delivered count is written as fed";
  EXPECT_EQ(Waiting(first_), 10) << "the FIFO was not touched";
  EXPECT_EQ(Read(first_, 100).size(), 10u) << "only one transfer is replaced";
  EXPECT_EQ(VELQSIM_FeedSamples(nullptr, 2, 2), kNullPointer);
  EXPECT_EQ(VELQSIM_FeedSamples(fed, -1, 2), kBadParameter);
}

TEST_F(StreamTest, RealTimeClockPacesByElapsedTime) {
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimRealTime), 0);
  using Clock = std::chrono::steady_clock;
  auto samplesIn = [](Clock::duration span) {
    return static_cast<int32_t>(std::chrono::duration<double>(span).count() * 10000);
  };
  const auto before = Clock::now();
  StartScan(first_, {0}, 10000);
  const auto started = Clock::now();
  // Watches the samples come in (no sleeping thread: the emulated Wine of
  // some machines handles that badly). However slowly this thread runs, each
  // count lies between the time surely elapsed since the start and the time
  // that may have, so the loop ends after about 30 ms of scanning.
  int32_t waiting = 0;
  while (waiting < 300) {
    const auto asked = Clock::now();
    waiting = Waiting(first_);
    const auto answered = Clock::now();
    ASSERT_GE(waiting, samplesIn(asked - started) - 1) << "behind the clock";
    ASSERT_LE(waiting, samplesIn(answered - before) + 1) << "ahead of the clock";
  }
}

}  // namespace
}  // namespace boardsim_test
