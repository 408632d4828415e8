// VELQ_ADConfig, VELQ_ADStart, VELQ_ADStop and VELQ_ADGetData: the
// analog-input scan.
#include <algorithm>
#include <cstring>

#include "abi/board_api.h"
#include "sim_state.h"
#include "statuses.h"

namespace velqsim {

namespace {

int32_t ReadInt(const int32_t* address) {
  int32_t value = 0;
  std::memcpy(&value, address, sizeof value);  // the address may be unaligned
  return value;
}

void WriteInt(int32_t* address, int32_t value) { std::memcpy(address, &value, sizeof value); }

void RememberAdConfig(SimState& state, int32_t serial, const int32_t* rate, int32_t clockSource,
                      int32_t mode, int32_t reserved, const int32_t* channels,
                      const int32_t* gainCodes, int32_t count) {
  VelqSimAdConfig& last = state.lastAdConfig;
  last = VelqSimAdConfig{};
  last.serial = serial;
  last.rate = rate != nullptr ? ReadInt(rate) : 0;
  last.clockSource = clockSource;
  last.mode = mode;
  last.reserved = reserved;
  last.channelCount = count;
  // The caller vouches for `count` entries; no more than 32 are kept.
  const int32_t kept = std::clamp(count, 0, 32);
  for (int32_t i = 0; i < kept; ++i) {
    if (channels != nullptr) last.channels[i] = ReadInt(channels + i);
    if (gainCodes != nullptr) last.gainCodes[i] = ReadInt(gainCodes + i);
  }
  state.haveAdConfig = true;
}

bool GainCodeFits(const BoardDescription& description, int32_t code) {
  if (code < 0 || code > 0xFFFF) return false;
  const size_t range = static_cast<size_t>(code >> 8);
  const size_t gain = static_cast<size_t>(code & 0xFF);
  return range < description.rangeKinds.size() && gain < description.gainSpans.size();
}

int32_t Configure(BoardState& board, const int32_t* rateAddress, int32_t clockSource, int32_t mode,
                  int32_t reserved, const int32_t* channels, const int32_t* gainCodes,
                  int32_t count) {
  const BoardDescription& description = board.description;
  if (rateAddress == nullptr || channels == nullptr || gainCodes == nullptr) return kNullPointer;
  if (board.scan.running) return kAdRunning;
  if (reserved != 0) return kBadReserved;
  if (count < 1 || count > kMaxScanChannels) return kBadChannelCount;
  if (clockSource != 0 && clockSource != 1) return kBadClockSource;
  if (mode != 0 && mode != 1) return kBadMode;
  const int32_t rate = ReadInt(rateAddress);
  // Normal mode: rate is samples per second. Burst mode: scans per second,
  // and the whole scan must still fit the converter's maximum.
  const int64_t perSecond = mode == 1 ? int64_t{rate} * count : int64_t{rate};
  if (rate < 1 || perSecond > description.maxRate) return kBadRate;
  std::vector<int32_t> list(static_cast<size_t>(count));
  std::vector<int32_t> codes(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    list[static_cast<size_t>(i)] = ReadInt(channels + i);
    codes[static_cast<size_t>(i)] = ReadInt(gainCodes + i);
    if (list[static_cast<size_t>(i)] < 0 || list[static_cast<size_t>(i)] >= description.inputs) {
      return kBadChannel;
    }
  }
  for (int32_t code : codes) {
    if (!GainCodeFits(description, code)) return kBadGainCode;
  }
  AdScan& scan = board.scan;
  scan = AdScan{};
  scan.configured = true;
  scan.rate = rate;
  scan.clockSource = clockSource;
  scan.mode = mode;
  scan.channels = std::move(list);
  scan.gainCodes = std::move(codes);
  scan.samplesPerSecond = perSecond;
  scan.scanRate = mode == 1 ? static_cast<double>(rate) : static_cast<double>(rate) / count;
  RestartOutputHistory(board);  // the stream's sample count starts again
  return kOk;
}

void StartScan(SimState& state, BoardState& board) {
  AdScan& scan = board.scan;
  scan.running = true;
  scan.fifo.clear();
  scan.waiting = 0;
  scan.accrued = 0;
  scan.carry = 0;
  scan.lostSamples = 0;
  scan.bufferOverrun = 0;
  scan.lossDone = false;
  scan.lastUs = NowUs(state);
  RestartOutputHistory(board);
}

int32_t ServeData(SimState& state, BoardState& board, int32_t* buffer, int32_t* countAddress) {
  const int32_t wanted = ReadInt(countAddress);
  if (wanted < 0) {
    WriteInt(countAddress, 0);
    return kBadCount;
  }
  if (buffer == nullptr && wanted > 0) {
    WriteInt(countAddress, 0);
    return kNullPointer;
  }
  if (state.feedPending) {
    state.feedPending = false;
    const int32_t stored = static_cast<int32_t>(
        std::min<size_t>(state.fedSamples.size(), static_cast<size_t>(wanted)));
    if (stored > 0) std::memcpy(buffer, state.fedSamples.data(), sizeof(int32_t) * stored);
    WriteInt(countAddress, state.fedDelivered);
    return stored;
  }
  Settle(state, board);
  AdScan& scan = board.scan;
  if (state.clockMode == kVelqSimUnthrottled && scan.running && scan.clockSource == 0 &&
      scan.waiting < wanted) {
    AccrueSamples(board, wanted - scan.waiting, true);
  }
  // What is left in the FIFO after a stop can still be read.
  const int32_t delivered = static_cast<int32_t>(TakeSamples(board, buffer, wanted));
  WriteInt(countAddress, delivered);
  return delivered;
}

}  // namespace

}  // namespace velqsim

using namespace velqsim;

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_ADConfig(int32_t serial, int32_t* rate,
                                                             int32_t clockSource, int32_t mode,
                                                             int32_t reserved, int32_t* channelList,
                                                             int32_t* gainCodes,
                                                             int32_t channelCount) {
  auto lock = Lock();
  SimState& state = State();
  RememberAdConfig(state, serial, rate, clockSource, mode, reserved, channelList, gainCodes,
                   channelCount);
  int32_t result = kOk;
  if (!Intercepted(state, "VELQ_ADConfig", &result)) {
    BoardState* board = FindBoard(state, serial);
    result = board == nullptr ? kUnknownSerial
                              : Configure(*board, rate, clockSource, mode, reserved, channelList,
                                          gainCodes, channelCount);
  }
  state.log.Add("VELQ_ADConfig(%d, %s, %d, %d, %d, %s, %s, %d) = %d", serial, PointerText(rate),
                clockSource, mode, reserved, PointerText(channelList), PointerText(gainCodes),
                channelCount, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_ADStart(int32_t serial) {
  auto lock = Lock();
  SimState& state = State();
  int32_t result = kOk;
  if (!Intercepted(state, "VELQ_ADStart", &result)) {
    BoardState* board = FindBoard(state, serial);
    if (board == nullptr) {
      result = kUnknownSerial;
    } else if (!board->scan.configured) {
      result = kNotConfigured;
    } else if (board->scan.running) {
      result = kAdRunning;
    } else {
      StartScan(state, *board);
    }
  }
  state.log.Add("VELQ_ADStart(%d) = %d", serial, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_ADStop(int32_t serial) {
  auto lock = Lock();
  SimState& state = State();
  int32_t result = kOk;
  if (!Intercepted(state, "VELQ_ADStop", &result)) {
    BoardState* board = FindBoard(state, serial);
    if (board == nullptr) {
      result = kUnknownSerial;
    } else {
      Settle(state, *board);  // samples due up to now stay readable
      board->scan.running = false;
    }
  }
  state.log.Add("VELQ_ADStop(%d) = %d", serial, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_ADGetData(int32_t serial, int32_t* buffer,
                                                              int32_t* count) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t wanted = count != nullptr ? ReadInt(count) : 0;
  state.haveGetData = true;
  state.lastGetDataSerial = serial;
  state.lastGetDataBuffer = buffer;
  state.lastGetDataCount = wanted;
  int32_t result = kOk;
  if (!Intercepted(state, "VELQ_ADGetData", &result)) {
    BoardState* board = FindBoard(state, serial);
    if (count == nullptr) {
      result = kNullPointer;
    } else if (board == nullptr) {
      WriteInt(count, 0);
      result = kUnknownSerial;
    } else {
      result = ServeData(state, *board, buffer, count);
    }
  } else if (state.refusing && count != nullptr) {
    WriteInt(count, 0);  // nothing delivered: the caller converts nothing
  }
  if (count != nullptr) {
    state.log.Add("VELQ_ADGetData(%d, %s, %d) = %d", serial, PointerText(buffer), wanted, result);
  } else {
    state.log.Add("VELQ_ADGetData(%d, %s, null) = %d", serial, PointerText(buffer), result);
  }
  return result;
}
