// Settings check, start and stop of the analog-input scan, and the run state
// that the buffer and transfer routines read.
#include "acquire/measure.h"

#include "abi/board_api.h"
#include "abi/meas_info.h"
#include "acquire/float_to_int.h"
#include "core/driver_state.h"
#include "core/messages.h"
#include "core/trace.h"
#include "ui/resources.h"

namespace tarnix {

namespace {

constexpr uint32_t kMinBlockSize = 2;
constexpr uint32_t kMaxBlockSize = 0xFFFF;
constexpr int kModeBurst = 1;

// Error codes left in the record for DRV_ShowError.
constexpr int32_t kErrAdBusy = -100;
constexpr int32_t kErrNotSupported = -101;
constexpr int32_t kErrWrongRate = -102;
constexpr int32_t kErrNoChannel = -103;
constexpr int32_t kErrWrongBlockSize = -104;

bool AdRunning() { return VELQ_Query(g_state.serialNo, velq::kAdState, 0) == velq::kAdRunning; }

// Library status s is kept as s - 200, wrapping like the 32-bit original.
int32_t LibraryErrorCode(int32_t status) {
  return static_cast<int32_t>(static_cast<uint32_t>(status) +
                              static_cast<uint32_t>(velq::kStatusToErrorCode));
}

// The host may leave a factor at 0; the board needs at least 1.
void ReplaceZeroFactor(const RecordRef& record, std::size_t offset) {
  if (record.get<uint32_t>(offset) == 0) record.set<uint32_t>(offset, 1);
}

// The first failing check's code, or 0 when every check passes. The order is
// the host's contract: a running A/D beats every other fault.
int32_t FirstFault(const RecordRef& record) {
  if (AdRunning()) return kErrAdBusy;
  for (int i = 0; i < 3; ++i) {
    const std::size_t offset = TARNIX_RECORD(unsupportedSettings) + i * sizeof(int32_t);
    if (record.get<int32_t>(offset) != 0) return kErrNotSupported;
  }
  const uint16_t mask = record.get<uint16_t>(TARNIX_RECORD(adChannelMask));
  if (mask != 0) {
    // Unordered comparisons (NaN) pass, as the host has always seen.
    if (record.get<double>(TARNIX_RECORD(sampleRate)) >
        record.get<double>(TARNIX_RECORD(maxSampleRate))) {
      return kErrWrongRate;
    }
  } else {
    bool anySelection = false;
    for (int i = 0; i < 4; ++i) {
      const std::size_t offset = TARNIX_RECORD(otherSelections) + i * sizeof(int32_t);
      anySelection = anySelection || record.get<int32_t>(offset) != 0;
    }
    if (!anySelection) return kErrNoChannel;
  }
  ReplaceZeroFactor(record, TARNIX_RECORD(factorA));
  ReplaceZeroFactor(record, TARNIX_RECORD(factorB));
  ReplaceZeroFactor(record, TARNIX_RECORD(factorC));
  const uint32_t blockSize = record.get<uint32_t>(TARNIX_RECORD(blockSize));
  if (blockSize > kMaxBlockSize || blockSize < kMinBlockSize) return kErrWrongBlockSize;
  return 0;
}

// The scan rate handed to the board: the requested rate truncated to 64
// bits, its low 32 bits, and in burst mode shared among the channels.
int32_t RateArgument(double sampleRate, int32_t mode, int32_t channelCount) {
  uint32_t rate = LowBits32(TruncateToInt64(sampleRate));
  if (mode == kModeBurst && channelCount != 0) rate /= static_cast<uint32_t>(channelCount);
  return static_cast<int32_t>(rate);
}

}  // namespace

int32_t TestStruct() {
  Trace("TARNIX - DRV_TestStruct\n");
  const RecordRef record = Record();
  if (!record.valid()) return 0;
  const int32_t fault = FirstFault(record);
  if (fault != 0) {
    SetErrorCode(fault);
    return 0;
  }
  if (record.get<int32_t>(TARNIX_RECORD(bufferSize)) != g_state.savedBufferSize) {
    ShowMessage(IDS_BUFFER_SIZE_FIXED);
  }
  return 1;
}

int32_t StartMeas() {
  Trace("TARNIX - DRV_StartMeas\n");
  if (g_state.busy != 0) {
    Trace("TARNIX - DRV_StartMeas - Error, device busy\n");
    return 0;
  }
  const RecordRef record = Record();
  if (!record.valid()) return 0;
  g_state.busy = 1;
  g_state.stateWord = kMeasInfoMeasuring;
  if (record.get<uint16_t>(TARNIX_RECORD(adChannelMask)) == 0) return 1;
  return StartAD();
}

int32_t StartAD() {
  Trace("TARNIX - StartAD\n");
  DriverState& s = g_state;
  const RecordRef record = Record();
  if (!record.valid()) return 0;
  s.channelCount = CheckBits(record.get<uint16_t>(TARNIX_RECORD(adChannelMask)));
  TraceF<100>("TARNIX - StartAD - Serial No = %ld, Channel list length %d\n",
              static_cast<long>(s.serialNo), static_cast<int>(s.channelCount));
  TraceF<100>("TARNIX - StartAD - Range = %ld\n", static_cast<long>(s.range));
  // Every channel runs with the same range and gain; the code is formed on
  // unsigned bits so any stored index shifts without overflow.
  const int32_t gainCode =
      static_cast<int32_t>((static_cast<uint32_t>(s.range) << 8) | static_cast<uint32_t>(s.gain));
  for (int32_t i = 0; i < s.channelCount; ++i) {
    TraceF<100>("TARNIX - StartAD - Channel = %ld\n", static_cast<long>(s.channelNumbers[i]));
    s.channelList[i] = s.channelNumbers[i];
    s.gainCodes[i] = gainCode;
  }
  s.rateArgument =
      RateArgument(record.get<double>(TARNIX_RECORD(sampleRate)), s.mode, s.channelCount);
  const int32_t configured = VELQ_ADConfig(s.serialNo, &s.rateArgument, s.clockSource, s.mode, 0,
                                           s.channelList, s.gainCodes, s.channelCount);
  if (configured < 0) {
    Trace("TARNIX - StartAD - Device failed to configure\n");
    SetErrorCode(LibraryErrorCode(configured));
    return 0;
  }
  const int32_t started = VELQ_ADStart(s.serialNo);
  if (started < 0) {
    Trace("TARNIX - StartAD - Device failed to start\n");
    SetErrorCode(LibraryErrorCode(started));
    return 0;
  }
  return 1;
}

int32_t CheckBits(uint32_t mask) {
  Trace("TARNIX:CheckBits\n");
  int32_t count = 0;
  for (int32_t bit = 0; bit < 32; ++bit) {
    if ((mask >> bit) & 1u) g_state.channelNumbers[count++] = bit;
  }
  return count;
}

int32_t StopMeas() {
  Trace("TARNIX - DRV_StopMeas\n");
  g_state.busy = 0;
  g_state.stateWord = 0;
  if (AdRunning()) VELQ_ADStop(g_state.serialNo);
  return 1;
}

}  // namespace tarnix
