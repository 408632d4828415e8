#include "block_loop.h"

#include <algorithm>
#include <cstring>

#include "abi/meas_info.h"
#include "board_description.h"
#include "channel_list.h"

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

// Writes the host's requests into the record, as the host does before it
// asks the module to check them.
void WriteSettings(tarnix::RecordRef record, const AcquireSettings& s, int32_t bufferSize) {
  record.set<double>(TARNIX_RECORD(sampleRate), s.rate);
  record.set<uint16_t>(TARNIX_RECORD(adChannelMask), ChannelMask(s.channels));
  record.set<int32_t>(TARNIX_RECORD(blockSize), s.blockSize);
  // The module compares this with the size it last allocated for: the same
  // number goes into both.
  record.set<int32_t>(TARNIX_RECORD(bufferSize), bufferSize);
}

}  // namespace

int32_t DefaultBufferSize(const AcquireSettings& s) {
  double halfSecond = s.rate / 2;  // the rate counts samples of all channels
  double size = std::max(static_cast<double>(s.blockSize) * 8, halfSecond);
  return static_cast<int32_t>(std::min(size, 4.0 * 1024 * 1024));
}

std::string BlockLoop::Start(const AcquireSettings& s) {
  Stop();
  const DriverApi& api = session_.api();
  tarnix::RecordRef record = session_.record();
  int32_t bufferSize = s.bufferSize > 0 ? s.bufferSize : DefaultBufferSize(s);
  WriteSettings(record, s, bufferSize);
  if (api.SetInputBufferSize(bufferSize) == 0) return "DRV_SetInputBufferSize";
  if (api.TestStruct() == 0) return "DRV_TestStruct";
  if (api.StartMeas() == 0) {
    api.StopMeas();  // back to idle, as the host does after a failed start
    return "DRV_StartMeas";
  }
  run_ = RunInfo{};
  run_.channels = s.channels;
  run_.rate = s.rate;
  run_.blockSize = s.blockSize;
  run_.bufferSize = bufferSize;
  run_.rangeMin = InputRangeMin(record);
  run_.rangeMax = InputRangeMax(record);
  run_.boardName = RecordText(record, TARNIX_RECORD(boardName), 20);
  run_.boardSerial = session_.startedSerial();
  run_.moduleVersion = session_.moduleVersion();
  measuring_ = true;
  samples_ = blocks_ = 0;
  fillPercent_ = peakFillPercent_ = 0;
  return "";
}

BlockLoop::Polled BlockLoop::Poll() {
  if (!measuring_) return Polled::kNothing;
  const DriverApi& api = session_.api();
  tarnix::RecordRef record = session_.record();
  int32_t ready = api.GetInputBufStatus();
  fillPercent_ = ReadInfo<uint32_t>(api.GetMeasInfoEx(), kFillPercentOffset);
  peakFillPercent_ = std::max(peakFillPercent_, fillPercent_);
  if (ready == 0) return Polled::kNothing;
  // The library may lower the count in blockSize to what it delivered; each
  // block asks for the full size again.
  record.set<int32_t>(TARNIX_RECORD(blockSize), run_.blockSize);
  const int16_t* block = api.GetInputBuf();
  int32_t delivered = std::clamp(record.get<int32_t>(TARNIX_RECORD(blockSize)), 0, run_.blockSize);
  if (block == nullptr) delivered = 0;
  record.set<int32_t>(TARNIX_RECORD(blockSize), run_.blockSize);
  if (delivered > 0) {
    // A consumer that refuses drops out; the others go on.
    for (BlockConsumer* consumer : std::vector<BlockConsumer*>(consumers_)) {
      if (!consumer->Take(block, static_cast<size_t>(delivered), samples_)) {
        Detach(*consumer);
        failed_.push_back(consumer);
      }
    }
  }
  samples_ += delivered;
  ++blocks_;
  api.AdvanceInputBuf();
  if (ReadInfo<int32_t>(api.GetMeasInfoEx(), kStateWordOffset) != tarnix::kMeasInfoMeasuring) {
    return Polled::kOverrun;  // the module stopped the measurement itself
  }
  return Polled::kBlock;
}

void BlockLoop::Stop() {
  if (measuring_) session_.api().StopMeas();
  measuring_ = false;
  consumers_.clear();
}

bool BlockLoop::Attach(BlockConsumer& consumer) {
  if (!measuring_ || !consumer.Begin(run_)) return false;
  consumers_.push_back(&consumer);
  return true;
}

void BlockLoop::Detach(BlockConsumer& consumer) {
  consumers_.erase(std::remove(consumers_.begin(), consumers_.end(), &consumer), consumers_.end());
}

std::vector<BlockConsumer*> BlockLoop::TakeFailed() {
  std::vector<BlockConsumer*> failed;
  failed.swap(failed_);
  return failed;
}

}  // namespace host
