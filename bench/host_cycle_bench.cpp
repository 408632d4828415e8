// The host's whole cycle per block (status, fetch and convert, overrun
// check) through the exported entry points, against the simulated board
// serving every request in full at once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/driver_exports.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace {

// A record and buffers set up as the host and DRV_SetInputBufferSize leave
// them, with the first simulated board selected and scanning 8 channels.
class Session {
 public:
  explicit Session(int32_t blockSize) : storage_(sizeof(tarnix::DeviceRecord) + 8, 0) {
    TarnixPortable_SetTraceToStderr(0);
    VELQSIM_Reset();
    VELQSIM_SetClock(kVelqSimUnthrottled);
    tarnix::DriverState& s = tarnix::g_state;
    s = tarnix::DriverState{};
    s.deviceRecord = storage_.data() + 1;
    s.serialNo = VELQ_Query(tarnix::velq::kLibrarySerial, tarnix::velq::kBoardSerial, 0);
    const tarnix::RecordRef r(s.deviceRecord);
    r.set<double>(TARNIX_RECORD(sampleRate), 1000.0);
    r.set<uint16_t>(TARNIX_RECORD(adChannelMask), 0xFF);
    r.set<int32_t>(TARNIX_RECORD(blockSize), blockSize);
    const std::size_t entry = TARNIX_RECORD(adChannels);
    r.set<double>(entry + TARNIX_OFFSET(ChannelEntry, maxValue), 10.0);
    r.set<double>(entry + TARNIX_OFFSET(ChannelEntry, minValue), -10.0);
    const auto n = static_cast<uint32_t>(blockSize);
    s.hostBuffer = static_cast<int16_t*>(tarnix::platform::GlobalAllocate(n * 2));
    s.localBuffer = static_cast<int32_t*>(tarnix::platform::GlobalAllocate(n * 4));
    s.hostCapacity = s.localCapacity = n;
    s.savedBufferSize = blockSize;
    ok_ = s.serialNo > 0 && s.hostBuffer != nullptr && s.localBuffer != nullptr &&
          DRV_StartMeas() == 1;
  }
  ~Session() {
    DRV_StopMeas();
    tarnix::platform::GlobalRelease(tarnix::g_state.hostBuffer);
    tarnix::platform::GlobalRelease(tarnix::g_state.localBuffer);
    tarnix::g_state = tarnix::DriverState{};
  }
  bool ok() const { return ok_; }

 private:
  std::vector<uint8_t> storage_;
  bool ok_ = false;
};

void BM_HostCycle(benchmark::State& state) {
  const auto blockSize = static_cast<int32_t>(state.range(0));
  Session session(blockSize);
  if (!session.ok()) {
    state.SkipWithError("could not start a measurement on the simulated board");
    return;
  }
  int64_t samples = 0;
  for (auto _ : state) {
    if (DRV_GetInputBufStatus() == 1) {
      const int16_t* block = DRV_GetInputBuf();
      benchmark::DoNotOptimize(block);
      DRV_AdvanceInputBuf();
      samples +=
          tarnix::RecordRef(tarnix::g_state.deviceRecord).get<int32_t>(TARNIX_RECORD(blockSize));
    }
  }
  state.SetItemsProcessed(samples);
}

BENCHMARK(BM_HostCycle)->Arg(65535)->Arg(4096)->Arg(256);

}  // namespace
