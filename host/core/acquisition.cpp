#include "acquisition.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "abi/meas_info.h"
#include "channel_list.h"
#include "os.h"

namespace host {
namespace {

constexpr size_t kStateWordOffset = offsetof(tarnix::MeasInfoEx, stateWord);
constexpr size_t kFillPercentOffset = offsetof(tarnix::MeasInfoEx, fillPercent);

template <typename T>
T ReadInfo(const void* info, size_t offset) {
  T value{};
  if (info != nullptr)
    std::memcpy(&value, static_cast<const uint8_t*>(info) + offset, sizeof value);
  return value;
}

}  // namespace

void WriteSettings(tarnix::RecordRef record, const AcquireSettings& s, int32_t bufferSize) {
  record.set<double>(TARNIX_RECORD(sampleRate), s.rate);
  record.set<uint16_t>(TARNIX_RECORD(adChannelMask), ChannelMask(s.channels));
  record.set<int32_t>(TARNIX_RECORD(blockSize), s.blockSize);
  // The module compares this with the size it last allocated for: the same
  // number goes into both.
  record.set<int32_t>(TARNIX_RECORD(bufferSize), bufferSize);
}

uint32_t ReportedFillPercent(const DriverApi& api) {
  return ReadInfo<uint32_t>(api.GetMeasInfoEx(), kFillPercentOffset);
}

bool ModuleMeasuring(const DriverApi& api) {
  return ReadInfo<int32_t>(api.GetMeasInfoEx(), kStateWordOffset) == tarnix::kMeasInfoMeasuring;
}

int32_t DefaultBufferSize(const AcquireSettings& s) {
  double halfSecond = s.rate / 2;  // the rate counts samples of all channels
  double size = std::max(static_cast<double>(s.blockSize) * 8, halfSecond);
  return static_cast<int32_t>(std::min(size, 4.0 * 1024 * 1024));
}

AcquireOutcome RunAcquisition(Session& session, const AcquireSettings& s, ProgressDisplay& display,
                              Recording* recording, SequenceCheck* check) {
  const DriverApi& api = session.api();
  tarnix::RecordRef record = session.record();
  AcquireOutcome outcome;
  int32_t bufferSize = s.bufferSize > 0 ? s.bufferSize : DefaultBufferSize(s);

  WriteSettings(record, s, bufferSize);
  if (api.SetInputBufferSize(bufferSize) == 0) {
    outcome.exitCode = session.Fail("DRV_SetInputBufferSize");
    return outcome;
  }
  if (api.TestStruct() == 0) {
    outcome.exitCode = session.Fail("DRV_TestStruct");
    return outcome;
  }
  session.ReportBoxes();  // e.g. a buffer size the module would not take
  recording->channels = s.channels;
  recording->rate = s.rate;
  recording->rangeMax = record.get<double>(TARNIX_OFFSET(DeviceRecord, adChannels) +
                                           TARNIX_OFFSET(ChannelEntry, maxValue));
  recording->rangeMin = record.get<double>(TARNIX_OFFSET(DeviceRecord, adChannels) +
                                           TARNIX_OFFSET(ChannelEntry, minValue));
  recording->codes.clear();

  double started = MonotonicSeconds();
  const double cpuStarted = ProcessCpuSeconds();
  if (api.StartMeas() == 0) {
    outcome.exitCode = session.Fail("DRV_StartMeas");
    api.StopMeas();  // back to idle, as the host does after a failed start
    return outcome;
  }

  const size_t channels = s.channels.size();
  const double scansWanted =
      s.duration ? std::ceil(*s.duration * s.rate / static_cast<double>(channels)) : 0;
  ProgressState progress;
  progress.targetBlocks = s.blocks.value_or(0);
  double lastBlock = started;
  while (true) {
    double scans = static_cast<double>(static_cast<size_t>(outcome.samples) / channels);
    if (s.blocks ? progress.blocks >= *s.blocks : scans >= scansWanted) break;
    int32_t ready = api.GetInputBufStatus();
    progress.fillPercent = ReadInfo<uint32_t>(api.GetMeasInfoEx(), kFillPercentOffset);
    outcome.peakFillPercent = std::max(outcome.peakFillPercent, progress.fillPercent);
    if (ready == 0) {
      if (MonotonicSeconds() - lastBlock > s.timeout) {
        display.Finish(progress);
        std::fprintf(stderr, "error: no block arrived within %g s (fill %u%%)\n", s.timeout,
                     progress.fillPercent);
        outcome.exitCode = kExitDriver;
        break;
      }
      display.Update(progress);
      SleepMilliseconds(1);
      continue;
    }
    // The library may lower the count in blockSize to what it delivered;
    // each block asks for the full size again.
    record.set<int32_t>(TARNIX_RECORD(blockSize), s.blockSize);
    const int16_t* block = api.GetInputBuf();
    int32_t delivered = record.get<int32_t>(TARNIX_RECORD(blockSize));
    delivered = std::clamp(delivered, 0, s.blockSize);
    if (block == nullptr) delivered = 0;
    if (delivered > 0 && s.keepSamples) {
      recording->codes.insert(recording->codes.end(), block, block + delivered);
    }
    if (delivered > 0 && check != nullptr) check->Feed(block, static_cast<size_t>(delivered));
    outcome.samples += delivered;
    record.set<int32_t>(TARNIX_RECORD(blockSize), s.blockSize);
    api.AdvanceInputBuf();
    if (s.hostDelayMs > 0) SleepMilliseconds(s.hostDelayMs);
    lastBlock = MonotonicSeconds();
    ++progress.blocks;
    progress.samples = outcome.samples;
    progress.fraction = s.blocks
                            ? static_cast<double>(progress.blocks) / *s.blocks
                            : static_cast<double>(static_cast<size_t>(outcome.samples) / channels) /
                                  std::max(scansWanted, 1.0);
    if (ReadInfo<int32_t>(api.GetMeasInfoEx(), kStateWordOffset) != tarnix::kMeasInfoMeasuring) {
      // The module stopped the measurement itself: an overrun.
      ++progress.overruns;
      outcome.overrun = true;
      display.Finish(progress);
      session.ReportBoxes(&outcome.overrunMessages);
      std::fprintf(stderr, "error: the measurement was stopped by an overrun after %d blocks\n",
                   progress.blocks);
      outcome.exitCode = kExitDriver;
      break;
    }
    display.Update(progress, progress.blocks == 1);
  }
  if (outcome.exitCode == kExitOk) display.Finish(progress);
  api.StopMeas();
  outcome.seconds = MonotonicSeconds() - started;
  outcome.cpuSeconds = ProcessCpuSeconds() - cpuStarted;
  return outcome;
}

}  // namespace host
