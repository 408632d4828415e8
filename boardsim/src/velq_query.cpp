// VELQ_Query, VELQ_StrBoardName and VELQ_StrError: what the library tells
// about itself and its boards.
#include <algorithm>
#include <cstdio>

#include "abi/board_api.h"
#include "sim_state.h"
#include "statuses.h"

namespace velqsim {

namespace {

using enum tarnix::velq::Query;

bool IsLibraryQuery(int32_t code) {
  return code == kVersionMajor || code == kVersionMinor || code == kVersionBuild ||
         code == kOperatingSystem || code == kBoardCount || code == kBoardSerial;
}

bool IsBoardQuery(int32_t code) {
  switch (code) {
    case kBoardType:
    case kRevision:
    case kDatePart12:
    case kDatePart13:
    case kDatePart14:
    case kBoardVersionMajor:
    case kBoardVersionMinor:
    case kBoardVersionBuild:
    case kMaxAdRate:
    case kAdState:
    case kOverrunA:
    case kOverrunB:
    case kSamplesWaiting:
    case kGainCount:
    case kGainSpan:
    case kRangeCount:
    case kRangeKind:
    case kAnalogOutputs:
    case kCounters:
    case kDigitalPorts:
      return true;
    default:
      return false;
  }
}

int32_t TableEntry(const std::vector<int32_t>& table, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= table.size()) return kBadParameter;
  return table[static_cast<size_t>(index)];
}

int32_t SizeOf(const std::vector<int32_t>& table) { return static_cast<int32_t>(table.size()); }

int32_t LibraryAnswer(SimState& state, int32_t code, int32_t param) {
  switch (code) {
    case kVersionMajor:
      return state.world.version[0];
    case kVersionMinor:
      return state.world.version[1];
    case kVersionBuild:
      return state.world.version[2];
    case kOperatingSystem:
      return state.world.operatingSystem;
    case kBoardCount:
      return static_cast<int32_t>(state.boards.size());
    case kBoardSerial:
      if (param < 0 || static_cast<size_t>(param) >= state.boards.size()) return kBadParameter;
      return state.boards[static_cast<size_t>(param)].description.serial;
    default:
      return IsBoardQuery(code) ? kWrongTarget : kUnknownQuery;
  }
}

int32_t BoardAnswer(SimState& state, BoardState& board, int32_t code, int32_t param) {
  const BoardDescription& description = board.description;
  switch (code) {
    case kBoardType:
      return description.type;
    case kRevision:
      return description.revision;
    case kDatePart12:
      return description.manufactured[0];
    case kDatePart13:
      return description.manufactured[1];
    case kDatePart14:
      return description.manufactured[2];
    case kBoardVersionMajor:
      return description.version[0];
    case kBoardVersionMinor:
      return description.version[1];
    case kBoardVersionBuild:
      return description.version[2];
    case kMaxAdRate:
      return description.maxRate;
    case kAdState:
      return board.scan.running ? tarnix::velq::kAdRunning : 0;
    case kOverrunA:
      Settle(state, board);
      return board.scan.lostSamples;
    case kOverrunB:
      Settle(state, board);
      return board.scan.bufferOverrun;
    case kSamplesWaiting:
      Settle(state, board);
      return static_cast<int32_t>(std::min<int64_t>(board.scan.waiting, INT32_MAX));
    case kGainCount:
      return SizeOf(description.gainSpans);
    case kGainSpan:
      return TableEntry(description.gainSpans, param);
    case kRangeCount:
      return SizeOf(description.rangeKinds);
    case kRangeKind:
      return TableEntry(description.rangeKinds, param);
    case kAnalogOutputs:
      return description.analogOutputs;
    case kCounters:
      return description.counters;
    case kDigitalPorts:
      return description.digitalPorts;
    default:
      return IsLibraryQuery(code) ? kWrongTarget : kUnknownQuery;
  }
}

int32_t Answer(SimState& state, int32_t serial, int32_t code, int32_t param) {
  auto fixed = state.overrides.find(AnswerKey{serial, code, param});
  if (fixed == state.overrides.end()) fixed = state.overrides.find(AnswerKey{serial, code, -1});
  if (fixed != state.overrides.end()) return fixed->second;
  if (serial == kLibrarySerial) return LibraryAnswer(state, code, param);
  BoardState* board = FindBoard(state, serial);
  if (board == nullptr) return kUnknownSerial;
  return BoardAnswer(state, *board, code, param);
}

}  // namespace

}  // namespace velqsim

using namespace velqsim;

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_Query(int32_t serial, int32_t code,
                                                          int32_t param) {
  auto lock = Lock();
  SimState& state = State();
  int32_t result = 0;
  if (!Intercepted(state, "VELQ_Query", &result)) result = Answer(state, serial, code, param);
  state.log.Add("VELQ_Query(%d, %d, %d) = %d", serial, code, param, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_StrBoardName(int32_t serial, char* text) {
  auto lock = Lock();
  SimState& state = State();
  int32_t result = kOk;
  if (text == nullptr) {
    result = kNullPointer;
  } else if (Intercepted(state, "VELQ_StrBoardName", &result)) {
    // The caller's buffer still holds a text afterwards, never garbage.
    CopyTerminated(text, kBoardNameBytes, state.refusing ? "Invalid board profile" : "");
  } else {
    const BoardState* board = FindBoard(state, serial);
    auto named = state.names.find(serial);
    if (named != state.names.end()) {
      CopyTerminated(text, kBoardNameBytes, named->second.c_str());
    } else if (board != nullptr) {
      CopyTerminated(text, kBoardNameBytes, board->description.name.c_str());
    } else if (serial == 0) {
      CopyTerminated(text, kBoardNameBytes, state.world.libraryName.c_str());
    } else if (serial == kLibrarySerial) {
      CopyTerminated(text, kBoardNameBytes, "VELQ board library (simulated)");
    } else {
      CopyTerminated(text, kBoardNameBytes, "Unknown board");
      result = kUnknownSerial;
    }
  }
  state.log.Add("VELQ_StrBoardName(%d, %s) = %d", serial, PointerText(text), result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_StrError(int32_t status, char* text) {
  auto lock = Lock();
  SimState& state = State();
  int32_t result = kOk;
  if (text == nullptr) {
    result = kNullPointer;
  } else if (Intercepted(state, "VELQ_StrError", &result) && !state.refusing) {
    CopyTerminated(text, kErrorTextBytes, "");
  } else {
    // Even a refusing library explains statuses: the user needs the reason.
    FormatStatusText(status, text);
  }
  state.log.Add("VELQ_StrError(%d, %s) = %d", status, PointerText(text), result);
  return result;
}
