// Block transfer to the host: fill status, one block fetched from the board
// library and converted to 16-bit codes, overrun check, and the status
// record.
#include "acquire/transfer.h"

#include <algorithm>

#include "abi/board_api.h"
#include "acquire/convert.h"
#include "acquire/measure.h"
#include "core/driver_state.h"
#include "core/messages.h"
#include "core/trace.h"
#include "ui/resources.h"

namespace tarnix {

namespace {

// The one status record; its address is handed to the host and stays valid
// for the life of the process. Only stateWord and fillPercent are written.
MeasInfoEx g_measInfo{};

constexpr uint32_t kPercent = 100;

std::size_t EntryZeroOffset(std::size_t fieldOffset) {
  return EntryOffset(TARNIX_RECORD(adChannels), sizeof(ChannelEntry), 0, fieldOffset);
}

}  // namespace

int32_t GetInputBufStatus() {
  const int32_t waiting = VELQ_Query(g_state.serialNo, velq::kSamplesWaiting, 0);
  // Product wraps in 32 bits and the division is unsigned, as the host has
  // always been shown. Before any buffer size was saved there is nothing to
  // measure the fill against: 0.
  const uint32_t saved = static_cast<uint32_t>(g_state.savedBufferSize);
  g_measInfo.fillPercent = saved == 0 ? 0 : static_cast<uint32_t>(waiting) * kPercent / saved;
  const RecordRef record = Record();
  if (!record.valid()) return 0;
  return waiting >= record.get<int32_t>(TARNIX_RECORD(blockSize)) ? 1 : 0;
}

int16_t* GetInputBuf() {
  DriverState& s = g_state;
  const RecordRef record = Record();
  // The host reads its record's blockSize samples from whatever address it
  // gets. Without a record (a failed DRV_InitDevice may have replaced it
  // with null) that count cannot be cut to the buffer, so no address is
  // handed out at all.
  if (!record.valid()) return nullptr;
  // Without both buffers there is nowhere to put a block (not allocated yet,
  // or the local one released by DRV_KillDevice during a measurement): the
  // library is not asked and the host gets its buffer as it was, or null,
  // with a block size beyond the host buffer cut to it, as for a transfer.
  if (s.hostBuffer == nullptr || s.localBuffer == nullptr) {
    if (s.hostBuffer != nullptr &&
        record.get<uint32_t>(TARNIX_RECORD(blockSize)) > s.hostCapacity) {
      record.set<uint32_t>(TARNIX_RECORD(blockSize), s.hostCapacity);
    }
    return s.hostBuffer;
  }
  // Limits and divisor once per block, from channel entry 0: every channel
  // runs with the same range.
  const BlockScale scale =
      ScaleForRange(record.get<double>(EntryZeroOffset(TARNIX_OFFSET(ChannelEntry, minValue))),
                    record.get<double>(EntryZeroOffset(TARNIX_OFFSET(ChannelEntry, maxValue))));

  // A block larger than either buffer (blockSize changed after the buffers
  // were sized, or a host buffer smaller than a block) is cut to what fits,
  // and the record says so exactly as when the library delivers fewer.
  const std::size_t countOffset = TARNIX_RECORD(blockSize);
  const uint32_t capacity = std::min(s.hostCapacity, s.localCapacity);
  uint32_t asked = record.get<uint32_t>(countOffset);
  if (asked > capacity) {
    asked = capacity;
    record.set<uint32_t>(countOffset, asked);
  }
  // The library stores how many samples it delivered through this address
  // (unaligned: it points into the packed record).
  VELQ_ADGetData(s.serialNo, s.localBuffer, reinterpret_cast<int32_t*>(record.at(countOffset)));
  uint32_t delivered = record.get<uint32_t>(countOffset);
  if (delivered > asked) {
    // More than was asked (or a negative count) cannot have been stored:
    // only the asked-for samples are converted and reported.
    delivered = asked;
    record.set<uint32_t>(countOffset, delivered);
  }
  ConvertSamples(s.localBuffer, s.hostBuffer, delivered, scale);
  return s.hostBuffer;
}

int32_t AdvanceInputBuf() {
  bool overrun = VELQ_Query(g_state.serialNo, velq::kOverrunB, 0) != 0;
  if (!overrun) overrun = VELQ_Query(g_state.serialNo, velq::kOverrunA, 0) != 0;
  if (!overrun) return 1;
  Trace("TARNIX - DRV_AdvanceInputBuf - Buffer overrun\n");
  StopMeas();
  ShowMessage(IDS_OVERRUN);
  return 1;
}

MeasInfoEx* GetMeasInfoEx() {
  g_measInfo.stateWord = g_state.stateWord;
  return &g_measInfo;
}

}  // namespace tarnix
