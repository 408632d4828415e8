// Acquisition through the real tarnix.dll under Wine: a wall-clock scan
// checked against the simulated board's signal generator, the conversion
// of fed readings, a block cut to the buffers, and an overrun shown to the
// user. All scenarios share one initialised module (DRV_InitDevice works
// once per process). The overrun box is answered by hand rather than by the
// shared message-box watcher: under Wine on qemu-user the watcher's thread
// has taken the process down.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/velqsim.h"
#include "wine/support/harness.h"

namespace {

using Fn0 = int32_t(__stdcall*)();
using GetBuf = int16_t*(__stdcall*)();
using GetInfo = int32_t*(__stdcall*)();

struct Module {
  winetest::HostRecord record;
  int32_t serial = 0;
  bool ready = false;

  Fn0 testStruct = winetest::Get<Fn0>("DRV_TestStruct");
  Fn0 startMeas = winetest::Get<Fn0>("DRV_StartMeas");
  Fn0 stopMeas = winetest::Get<Fn0>("DRV_StopMeas");
  Fn0 status = winetest::Get<Fn0>("DRV_GetInputBufStatus");
  GetBuf getBuf = winetest::Get<GetBuf>("DRV_GetInputBuf");
  Fn0 advance = winetest::Get<Fn0>("DRV_AdvanceInputBuf");
  GetInfo info = winetest::Get<GetInfo>("DRV_GetMeasInfoEx");
  int32_t(__stdcall* setSize)(int32_t) =
      winetest::Get<int32_t(__stdcall*)(int32_t)>("DRV_SetInputBufferSize");

  Module() {
    auto init = winetest::Get<int32_t(__stdcall*)(void*)>("DRV_InitDevice");
    ready = init(record.data()) == 1;
    serial = VELQ_Query(1000000000, 15, 0);
  }

  int32_t BlockSize() const { return record.Read<int32_t>(TARNIX_RECORD(blockSize)); }
  double EntryZero(std::size_t field) const {
    return record.Read<double>(TARNIX_RECORD(adChannels) + field);
  }
  // Buffers for `blocks` blocks of `blockSize`, sized the way a host does.
  bool Buffers(int32_t blockSize, int32_t blocks) {
    record.Write<int32_t>(TARNIX_RECORD(blockSize), blockSize);
    record.Write<int32_t>(TARNIX_RECORD(bufferSize), blockSize * blocks);
    return setSize(blockSize * blocks) == 1;
  }
};

Module& TheModule() {
  static Module module;
  return module;
}

int16_t ExpectedCode(int32_t microvolts, double minVolts, double maxVolts) {
  const int64_t low = static_cast<int64_t>(minVolts) * 1000000;
  const int64_t high = static_cast<int64_t>(maxVolts) * 1000000;
  const int64_t v = microvolts < low ? low : microvolts > high ? high : microvolts;
  return static_cast<int16_t>(v / (high / 2047));
}

TEST(AcquireDll, RealTimeScanArrivesInOrderAsCodes) {
  Module& m = TheModule();
  ASSERT_TRUE(m.ready);
  VELQSIM_SetClock(kVelqSimRealTime);
  const int32_t kBlock = 200;
  const int kBlocks = 6;
  const int32_t channels[] = {0, 2};
  m.record.Write<double>(TARNIX_RECORD(sampleRate), 2000.0);
  m.record.Write<uint16_t>(TARNIX_RECORD(adChannelMask), 0x5);
  ASSERT_TRUE(m.Buffers(kBlock, 10));
  ASSERT_EQ(m.testStruct(), 1) << m.record.Read<int32_t>(TARNIX_RECORD(errorCode));
  ASSERT_EQ(m.startMeas(), 1) << m.record.Read<int32_t>(TARNIX_RECORD(errorCode));
  EXPECT_EQ(m.info()[0], 0x10000);
  const double maxVolts = m.EntryZero(TARNIX_OFFSET(ChannelEntry, maxValue));
  const double minVolts = m.EntryZero(TARNIX_OFFSET(ChannelEntry, minValue));
  ASSERT_GE(maxVolts, 1.0);

  std::vector<int16_t> received;
  const DWORD start = GetTickCount();
  while (received.size() < static_cast<std::size_t>(kBlocks * kBlock) &&
         GetTickCount() - start < 60000) {  // a stalled scan's limit only
    if (m.status() != 1) {
      Sleep(5);
      continue;
    }
    const int16_t* block = m.getBuf();
    ASSERT_NE(block, nullptr);
    const int32_t got = m.BlockSize();
    ASSERT_GT(got, 0);
    ASSERT_LE(got, kBlock);
    received.insert(received.end(), block, block + got);
    EXPECT_EQ(m.advance(), 1);
    m.record.Write<int32_t>(TARNIX_RECORD(blockSize), kBlock);
  }
  EXPECT_EQ(m.stopMeas(), 1);
  EXPECT_EQ(m.info()[0], 0);
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kBlocks * kBlock)) << "timed out";
  int mismatches = 0;
  for (std::size_t k = 0; k < received.size(); ++k) {
    int32_t microvolts = 0;
    ASSERT_EQ(VELQSIM_SignalAt(m.serial, channels[k % 2], (k / 2) / 1000.0, &microvolts), 0);
    const int16_t want = ExpectedCode(microvolts, minVolts, maxVolts);
    if (received[k] != want && ++mismatches <= 5) {
      ADD_FAILURE() << "sample " << k << ": got " << received[k] << ", expected " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(AcquireDll, FedReadingsConvertAndBlocksStayInsideTheBuffers) {
  Module& m = TheModule();
  ASSERT_TRUE(m.ready);
  // Entry 0 as a +-10 V range whatever the board description says.
  m.record.Write<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, maxValue), 10.0);
  m.record.Write<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, minValue), -10.0);
  // 40 readings: long enough for every vector width, with the edges spread.
  std::vector<int32_t> raw(40, 0);
  const int32_t edges[] = {10000000, 12000000, -10000000, -12000000, 4885,
                           4884,     5000000,  INT32_MIN, INT32_MAX, -4885};
  const int16_t codes[] = {2047, 2047, -2047, -2047, 1, 0, 1023, -2047, 2047, -1};
  for (int i = 0; i < 10; ++i) raw[3 * i + 1] = edges[i];
  ASSERT_TRUE(m.Buffers(40, 2));
  ASSERT_EQ(VELQSIM_FeedSamples(raw.data(), 40, 40), 0);
  const int16_t* block = m.getBuf();
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(block[3 * i + 1], codes[i]) << "reading " << edges[i];
  EXPECT_EQ(block[0], 0);

  // The library lowers the count: only that many are converted.
  ASSERT_EQ(VELQSIM_FeedSamples(raw.data(), 5, 5), 0);
  m.getBuf();
  EXPECT_EQ(m.BlockSize(), 5);

  // A block size grown past the local buffer (40) is cut to it.
  m.record.Write<int32_t>(TARNIX_RECORD(blockSize), 5000);
  std::vector<int32_t> many(5000, 12000000);
  ASSERT_EQ(VELQSIM_FeedSamples(many.data(), 5000, 5000), 0);
  block = m.getBuf();
  EXPECT_EQ(m.BlockSize(), 40);
  EXPECT_EQ(block[39], 2047);
}

TEST(AcquireDll, OverrunStopsAndTellsTheUser) {
  Module& m = TheModule();
  ASSERT_TRUE(m.ready);
  m.record.Write<uint16_t>(TARNIX_RECORD(adChannelMask), 0x1);
  m.record.Write<double>(TARNIX_RECORD(sampleRate), 1000.0);
  ASSERT_TRUE(m.Buffers(256, 4));
  ASSERT_EQ(m.startMeas(), 1);
  ASSERT_EQ(VELQSIM_ForceOverrun(m.serial, 107, 1), 0);
  winetest::StartTraceCapture();
  // The message box is modal: the call runs on its own thread while this
  // one finds the box, reads it and presses OK as the user would.
  std::atomic<int32_t> result{-1};
  std::thread call([&] { result = m.advance(); });
  HWND box = winetest::FindDialog("VELQ Sorvik Interface", 60000);
  if (box != nullptr) {
    EXPECT_EQ(winetest::DialogItemText(box, 0xFFFF), "Driver buffer or hardware FIFO overrun!");
    winetest::PressButton(box, IDOK);
  }
  call.join();
  ASSERT_NE(box, nullptr) << "no overrun message box appeared";
  EXPECT_EQ(result.load(), 1);
  // The helper thread's start and end bring the module's thread-attach
  // lines; the overrun's own lines are the rest.
  std::vector<std::string> traces;
  for (std::string& line : winetest::TakeTraces()) {
    if (line != "TARNIX:DllMain\n") traces.push_back(std::move(line));
  }
  winetest::StopTraceCapture();
  ASSERT_GE(traces.size(), 2u);
  EXPECT_EQ(traces[0], "TARNIX - DRV_AdvanceInputBuf - Buffer overrun\n");
  EXPECT_EQ(traces[1], "TARNIX - DRV_StopMeas\n");
  EXPECT_EQ(m.info()[0], 0);
  EXPECT_NE(VELQ_Query(m.serial, 103, 0), 1) << "the scan must be stopped";
  VELQSIM_ForceOverrun(m.serial, 107, 0);
}

}  // namespace
