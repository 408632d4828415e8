// A whole measurement through the exported entry points, against the
// simulated board running on the wall clock: what arrives at the host must
// be the board's signal, channel by channel, in order, on the 12-bit scale.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/driver_exports.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"

namespace {

using tarnix::RecordRef;

// The host's expectation, stated independently of the driver's code: the
// reading clamped to the whole-volt range and divided by full scale / 2047.
int16_t ExpectedCode(int32_t microvolts, double minVolts, double maxVolts) {
  const int64_t low = static_cast<int64_t>(minVolts) * 1000000;
  const int64_t high = static_cast<int64_t>(maxVolts) * 1000000;
  const int64_t v = microvolts < low ? low : microvolts > high ? high : microvolts;
  return static_cast<int16_t>(v / (high / 2047));
}

TEST(AcquireEndToEnd, RealTimeScanArrivesInOrderAsCodes) {
  const void* module = tarnix::g_state.moduleHandle;
  tarnix::g_state = tarnix::DriverState{};
  tarnix::g_state.moduleHandle = const_cast<void*>(module);
  ASSERT_EQ(VELQSIM_Reset(), 0);
  TarnixPortable_SetVirtualClock(1);  // the splash needs no real two seconds
  TarnixPortable_SetTraceToStderr(0);
  TarnixPortable_SetMessageBoxToStderr(0);

  std::vector<uint8_t> storage(sizeof(tarnix::DeviceRecord) + 8, 0);
  const RecordRef record(storage.data() + 5);
  record.set<int16_t>(TARNIX_RECORD(structVersion), tarnix::kHostStructVersion);
  ASSERT_EQ(DRV_InitDevice(record.at(0)), 1);
  const int32_t serial = tarnix::g_state.serialNo;
  ASSERT_NE(serial, 0);

  // Channels 0 and 2 (a 10 Hz sine and a 1 Hz ramp on the default board),
  // 2000 samples/s in all, blocks of 200, room for 10 blocks.
  const int32_t kBlock = 200;
  const int kBlocks = 6;
  const int32_t channels[] = {0, 2};
  record.set<double>(TARNIX_RECORD(sampleRate), 2000.0);
  record.set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x5);
  record.set<int32_t>(TARNIX_RECORD(blockSize), kBlock);
  record.set<int32_t>(TARNIX_RECORD(bufferSize), 10 * kBlock);
  ASSERT_EQ(DRV_SetInputBufferSize(10 * kBlock), 1);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(DRV_TestStruct(), 1) << "errorCode " << record.get<int32_t>(TARNIX_RECORD(errorCode));
  ASSERT_EQ(DRV_StartMeas(), 1) << "errorCode " << record.get<int32_t>(TARNIX_RECORD(errorCode));
  EXPECT_EQ(static_cast<const int32_t*>(DRV_GetMeasInfoEx())[0], 0x10000);

  const std::size_t entry = TARNIX_RECORD(adChannels);
  const double maxVolts = record.get<double>(entry + TARNIX_OFFSET(ChannelEntry, maxValue));
  const double minVolts = record.get<double>(entry + TARNIX_OFFSET(ChannelEntry, minValue));
  ASSERT_GE(maxVolts, 1.0) << "the default range must have a code scale";

  std::vector<int16_t> received;
  // A limit for a stalled scan only: however loaded the machine, 0.6 s of
  // scanning comes in well within it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (received.size() < static_cast<std::size_t>(kBlocks * kBlock) &&
         std::chrono::steady_clock::now() < deadline) {
    if (DRV_GetInputBufStatus() != 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    const int16_t* block = DRV_GetInputBuf();
    ASSERT_NE(block, nullptr);
    const int32_t got = record.get<int32_t>(TARNIX_RECORD(blockSize));
    ASSERT_GT(got, 0);
    ASSERT_LE(got, kBlock);
    received.insert(received.end(), block, block + got);
    // Blocks arrive over time, never ahead of the board's clock.
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LE(received.size(), static_cast<std::size_t>(elapsed * 2000) + 1);
    EXPECT_EQ(DRV_AdvanceInputBuf(), 1);
    record.set<int32_t>(TARNIX_RECORD(blockSize), kBlock);
  }
  EXPECT_EQ(DRV_StopMeas(), 1);
  EXPECT_EQ(static_cast<const int32_t*>(DRV_GetMeasInfoEx())[0], 0);
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kBlocks * kBlock)) << "timed out";

  // Sample k is channel k % 2 of scan k / 2; scans run at 1000 per second.
  int mismatches = 0;
  for (std::size_t k = 0; k < received.size(); ++k) {
    const int32_t channel = channels[k % 2];
    int32_t microvolts = 0;
    ASSERT_EQ(VELQSIM_SignalAt(serial, channel, static_cast<double>(k / 2) / 1000.0, &microvolts),
              0);
    const int16_t want = ExpectedCode(microvolts, minVolts, maxVolts);
    if (received[k] != want && ++mismatches <= 5) {
      ADD_FAILURE() << "sample " << k << " (channel " << channel << "): got " << received[k]
                    << ", expected " << want << " from " << microvolts << " uV";
    }
  }
  EXPECT_EQ(mismatches, 0);
  DRV_KillDevice();
  TarnixPortable_SetVirtualClock(0);
}

}  // namespace

namespace {

// DRV_KillDevice during a measurement releases the local buffer but keeps
// the host buffer (it is in use): a later transfer must not reach the
// released block, and the host keeps getting its buffer as it was.
TEST(AcquireEndToEnd, TransferAfterKillDuringMeasurement) {
  const void* module = tarnix::g_state.moduleHandle;
  tarnix::g_state = tarnix::DriverState{};
  tarnix::g_state.moduleHandle = const_cast<void*>(module);
  ASSERT_EQ(VELQSIM_Reset(), 0);
  VELQSIM_SetClock(kVelqSimUnthrottled);
  TarnixPortable_SetVirtualClock(1);
  TarnixPortable_SetTraceToStderr(0);
  std::vector<uint8_t> storage(sizeof(tarnix::DeviceRecord) + 8, 0);
  const RecordRef record(storage.data() + 1);
  record.set<int16_t>(TARNIX_RECORD(structVersion), tarnix::kHostStructVersion);
  ASSERT_EQ(DRV_InitDevice(record.at(0)), 1);
  record.set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x1);
  record.set<int32_t>(TARNIX_RECORD(blockSize), 64);
  record.set<int32_t>(TARNIX_RECORD(bufferSize), 640);
  ASSERT_EQ(DRV_SetInputBufferSize(640), 1);
  ASSERT_EQ(DRV_StartMeas(), 1);
  ASSERT_EQ(DRV_GetInputBufStatus(), 1);
  int16_t* block = DRV_GetInputBuf();
  ASSERT_NE(block, nullptr);
  const std::vector<int16_t> before(block, block + 64);

  EXPECT_EQ(DRV_KillDevice(), 1);
  EXPECT_EQ(tarnix::g_state.localBuffer, nullptr);
  ASSERT_EQ(tarnix::g_state.hostBuffer, block) << "the host buffer stays while measuring";
  VELQSIM_ClearLog();
  EXPECT_EQ(DRV_GetInputBuf(), block);
  EXPECT_EQ(std::vector<int16_t>(block, block + 64), before);
  char line[128];
  for (int32_t i = 0; i < VELQSIM_CallCount(); ++i) {
    ASSERT_EQ(VELQSIM_CallLine(i, line, sizeof line), 0);
    EXPECT_EQ(std::string(line).find("VELQ_ADGetData"), std::string::npos) << line;
  }
  DRV_StopMeas();
  DRV_SetInputBufferSize(10);  // releases the host buffer now that it is idle
  DRV_KillDevice();
  TarnixPortable_SetVirtualClock(0);
}

}  // namespace
