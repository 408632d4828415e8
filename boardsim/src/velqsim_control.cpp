// The VELQSIM_ control interface: what tests and tools use to shape the
// simulated world and to watch what the module did with it.
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "abi/board_api.h"
#include "abi/velqsim.h"
#include "profile_loader.h"
#include "sim_state.h"
#include "statuses.h"

namespace velqsim {

namespace {

bool IsVelqFunction(const char* name) {
  for (std::string_view known : tarnix::abi::kBoardFunctionNames) {
    if (known == name) return true;
  }
  return false;
}

int32_t InstallProfile(SimState& state, const ProfileResult& result) {
  if (!result.ok) {
    InstallRefusal(state, result.error);
    return kNotReady;
  }
  InstallWorld(state, result.world);
  return kOk;
}

int32_t CopyOut(char* text, int32_t bytes, const std::string& source) {
  if (text == nullptr) return kNullPointer;
  if (bytes <= 0) return kBadParameter;
  CopyTerminated(text, bytes, source.c_str());
  return kOk;
}

}  // namespace

}  // namespace velqsim

using namespace velqsim;

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_Reset() {
  auto lock = Lock();
  InstallWorld(State(), MakeDefaultWorld());
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_LoadProfile(const char* path) {
  if (path == nullptr) return kNullPointer;
  ProfileResult result = LoadProfileFile(path);  // file read outside the lock
  auto lock = Lock();
  return InstallProfile(State(), result);
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_LoadProfileText(const char* json) {
  if (json == nullptr) return kNullPointer;
  ProfileResult result = ParseProfileText(json);
  auto lock = Lock();
  return InstallProfile(State(), result);
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_LastError(char* text, int32_t bytes) {
  auto lock = Lock();
  return CopyOut(text, bytes, State().lastError);
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SetAnswer(int32_t serial, int32_t code,
                                                                 int32_t param, int32_t value) {
  auto lock = Lock();
  State().overrides[AnswerKey{serial, code, param}] = value;
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_ClearAnswers() {
  auto lock = Lock();
  SimState& state = State();
  state.overrides = state.world.answers;  // the profile's own answers stay
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_FailCall(const char* function,
                                                                int32_t status, int32_t times) {
  if (function == nullptr) return kNullPointer;
  if (!IsVelqFunction(function) || times < -1) return kBadParameter;
  auto lock = Lock();
  SimState& state = State();
  if (times == 0) {
    state.failures.erase(function);
  } else {
    state.failures[function] = FailRule{status, times};
  }
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SetBoardName(int32_t serial,
                                                                    const char* name) {
  if (name == nullptr) return kNullPointer;
  auto lock = Lock();
  State().names[serial] = name;
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SetClock(int32_t mode) {
  if (mode != kVelqSimRealTime && mode != kVelqSimVirtual && mode != kVelqSimUnthrottled) {
    return kBadParameter;
  }
  auto lock = Lock();
  SimState& state = State();
  SettleAll(state);  // what accrued under the old clock stays
  state.clockMode = mode;
  RebaseAll(state);
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_AdvanceClock(int64_t microseconds) {
  if (microseconds < 0) return kBadParameter;
  auto lock = Lock();
  SimState& state = State();
  state.virtualUs =
      microseconds > INT64_MAX - state.virtualUs ? INT64_MAX : state.virtualUs + microseconds;
  if (state.clockMode == kVelqSimVirtual) SettleAll(state);
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_PulseExternalClock(int32_t serial,
                                                                          int32_t pulses) {
  if (pulses < 0) return kBadParameter;
  auto lock = Lock();
  BoardState* board = FindBoard(State(), serial);
  if (board == nullptr) return kUnknownSerial;
  // Pulses reach the converter only while a scan on the external clock runs.
  if (board->scan.running && board->scan.clockSource == 1) AccrueSamples(*board, pulses, false);
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SetFifoCapacity(int32_t serial,
                                                                       int32_t samples) {
  if (samples < 1) return kBadParameter;
  auto lock = Lock();
  SimState& state = State();
  BoardState* board = FindBoard(state, serial);
  if (board == nullptr) return kUnknownSerial;
  Settle(state, *board);
  board->fifoCapacity = samples;
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_ForceOverrun(int32_t serial, int32_t which,
                                                                    int32_t value) {
  auto lock = Lock();
  SimState& state = State();
  BoardState* board = FindBoard(state, serial);
  if (board == nullptr) return kUnknownSerial;
  Settle(state, *board);
  if (which == 105) {
    board->scan.lostSamples = value;
  } else if (which == 107) {
    board->scan.bufferOverrun = value;
  } else {
    return kBadParameter;
  }
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_FeedSamples(const int32_t* samples,
                                                                   int32_t count,
                                                                   int32_t delivered) {
  if (count < 0) return kBadParameter;
  if (samples == nullptr && count > 0) return kNullPointer;
  auto lock = Lock();
  SimState& state = State();
  state.fedSamples.assign(samples, samples + count);
  state.fedDelivered = delivered;
  state.feedPending = true;
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SetSignal(int32_t serial, int32_t channel,
                                                                 int32_t kind,
                                                                 int32_t amplitudeMicrovolts,
                                                                 int32_t offsetMicrovolts,
                                                                 int32_t frequencyMillihertz) {
  if (kind < kVelqSimSine || kind > kVelqSimConstant || frequencyMillihertz < 0) {
    return kBadParameter;
  }
  auto lock = Lock();
  BoardState* board = FindBoard(State(), serial);
  if (board == nullptr) return kUnknownSerial;
  if (channel < 0 || channel >= board->description.inputs) return kBadChannel;
  SignalSpec& signal = board->description.signals[static_cast<size_t>(channel)];
  signal.kind = static_cast<SignalKind>(kind);
  signal.amplitude = amplitudeMicrovolts;
  signal.offset = offsetMicrovolts;
  signal.frequency = frequencyMillihertz / 1000.0;
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_SignalAt(int32_t serial, int32_t channel,
                                                                double seconds,
                                                                int32_t* microvolts) {
  if (microvolts == nullptr) return kNullPointer;
  auto lock = Lock();
  BoardState* board = FindBoard(State(), serial);
  if (board == nullptr) return kUnknownSerial;
  if (channel < 0 || channel >= board->description.inputs) return kBadChannel;
  // Sequences and sample-by-sample replays count scans: the scan that falls
  // at `seconds` at the configured scan rate.
  const double scans = board->scan.scanRate > 0.0 ? seconds * board->scan.scanRate : 0.0;
  const uint64_t scanIndex =
      scans >= 0.0 && scans < 9.0e18 ? static_cast<uint64_t>(std::llround(scans)) : 0;
  *microvolts = InputValue(*board, channel, seconds, scanIndex);
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_LastADConfig(VelqSimAdConfig* out) {
  if (out == nullptr) return kNullPointer;
  auto lock = Lock();
  SimState& state = State();
  *out = state.haveAdConfig ? state.lastAdConfig : VelqSimAdConfig{};
  return state.haveAdConfig ? kOk : kNotConfigured;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_LastADGetData(int32_t* serial, void** buffer,
                                                                     int32_t* countOnEntry) {
  auto lock = Lock();
  SimState& state = State();
  if (serial != nullptr) *serial = state.haveGetData ? state.lastGetDataSerial : 0;
  if (buffer != nullptr) *buffer = state.haveGetData ? state.lastGetDataBuffer : nullptr;
  if (countOnEntry != nullptr) *countOnEntry = state.haveGetData ? state.lastGetDataCount : 0;
  return state.haveGetData ? kOk : kNotConfigured;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_AnalogOutput(int32_t serial, int32_t channel,
                                                                    int32_t* microvolts) {
  if (microvolts == nullptr) return kNullPointer;
  auto lock = Lock();
  BoardState* board = FindBoard(State(), serial);
  if (board == nullptr) return kUnknownSerial;
  if (channel < 0 || static_cast<size_t>(channel) >= board->analogOutputs.size()) {
    return kBadOutputChannel;
  }
  *microvolts = board->analogOutputs[static_cast<size_t>(channel)];
  return kOk;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_CallCount() {
  auto lock = Lock();
  return static_cast<int32_t>(State().log.Count());
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_CallLine(int32_t index, char* text,
                                                                int32_t bytes) {
  auto lock = Lock();
  const std::string* line = index < 0 ? nullptr : State().log.Line(static_cast<size_t>(index));
  if (line == nullptr) {
    if (text != nullptr && bytes > 0) text[0] = '\0';
    return kBadParameter;
  }
  return CopyOut(text, bytes, *line);
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_ClearLog() {
  auto lock = Lock();
  State().log.Clear();
  return kOk;
}
