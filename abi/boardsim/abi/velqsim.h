// Control interface of the simulated board library (VELQSIM_*).
//
// Exported by VLQAPI.dll / libvlqapi.so beside the VELQ_ functions, for tests,
// the fuzzer and tools; the driver module never calls these. All functions
// use the standard Windows calling convention on the DLL, like VELQ_.
//
// Statuses: 0 = success, negative = failure (same convention as VELQ_).
#pragma once

#include <cstdint>

#include "abi/calling.h"

// One function of the interface: VELQSIM_API(name, arguments, argument
// bytes) declares VELQSIM_<name>, answering int32_t. Argument bytes are those
// the callee removes from the 32-bit stack (the N of Name@N), checked here
// against the arguments. The build expands these rows with a VELQSIM_API of
// its own to write the library's .def file.
#ifndef VELQSIM_API
#define VELQSIM_API(name, params, bytes)                                     \
  extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQSIM_##name params;      \
  static_assert(tarnix::abi::kStackArgumentBytes<int32_t params> == (bytes), \
                "argument bytes of VELQSIM_" #name)
#endif

// ---- world
// Back to the built-in default world: two boards, no overrides, no faults,
// empty call log, real-time clock, no fed samples. Also what the library
// starts with, unless VELQSIM_CONFIG names a profile file.
VELQSIM_API(Reset, (), 0);
// Replaces the world with the boards described in a JSON profile file (or
// text). On a malformed profile: answers a negative status, keeps the reason
// ("line N: ...") for VELQSIM_LastError, and the library refuses to serve
// (every VELQ_ call answers a negative status) until a good profile or Reset.
VELQSIM_API(LoadProfile, (const char* path), 4);
VELQSIM_API(LoadProfileText, (const char* json), 4);
// Copies the last profile error (empty when none) into text, terminated
// within `bytes`.
VELQSIM_API(LastError, (char* text, int32_t bytes), 8);

// ---- answers and faults
// From now on VELQ_Query(serial, code, param) answers `value`; param -1
// matches every parameter. Cleared by VELQSIM_ClearAnswers or Reset.
VELQSIM_API(SetAnswer, (int32_t serial, int32_t code, int32_t param, int32_t value), 16);
VELQSIM_API(ClearAnswers, (), 0);
// Makes the VELQ_ function named `function` (e.g. "VELQ_ADConfig") return
// `status` without acting: for the next `times` calls, every call when times
// is -1, no more when 0.
VELQSIM_API(FailCall, (const char* function, int32_t status, int32_t times), 12);
// Sets the name VELQ_StrBoardName gives for `serial` (any length; the
// library still terminates within 40 bytes).
VELQSIM_API(SetBoardName, (int32_t serial, const char* name), 8);

// ---- analog input
enum VelqSimClock : int32_t {
  kVelqSimRealTime = 0,     // samples accrue with the wall clock (default)
  kVelqSimVirtual = 1,      // samples accrue only by VELQSIM_AdvanceClock
  kVelqSimUnthrottled = 2,  // every VELQ_ADGetData is served in full at once;
                            // the rest keeps the virtual time
};
VELQSIM_API(SetClock, (int32_t mode), 4);
// Virtual clock: advances every running board's clock by `microseconds`.
VELQSIM_API(AdvanceClock, (int64_t microseconds), 8);
// External clock source (clock source 1): `pulses` samples accrue.
VELQSIM_API(PulseExternalClock, (int32_t serial, int32_t pulses), 8);
// FIFO capacity in samples (default 1048576). Samples beyond it are lost and
// the overrun indicators (queries 105 and 107) turn nonzero.
VELQSIM_API(SetFifoCapacity, (int32_t serial, int32_t samples), 8);
// Forces an overrun indicator: which = 105 or 107; value 0 clears it.
VELQSIM_API(ForceOverrun, (int32_t serial, int32_t which, int32_t value), 12);
// The next VELQ_ADGetData (any board) stores `count` of these samples and then
// writes `delivered` through the count address (which may exceed what was
// asked, to model a misbehaving library; the samples stored never exceed the
// count asked for).
VELQSIM_API(FeedSamples, (const int32_t* samples, int32_t count, int32_t delivered), 12);
// Signal generator of one input channel of a board.
enum VelqSimSignal : int32_t {
  kVelqSimSine = 0,
  kVelqSimSquare = 1,
  kVelqSimRamp = 2,      // sawtooth from -amplitude to +amplitude
  kVelqSimNoise = 3,     // deterministic pseudo-random in +-amplitude
  kVelqSimConstant = 4,  // offset only
};
VELQSIM_API(SetSignal,
            (int32_t serial, int32_t channel, int32_t kind, int32_t amplitudeMicrovolts,
             int32_t offsetMicrovolts, int32_t frequencyMillihertz),
            24);
// The value (microvolts) the generator gives for `channel` at sample time
// `seconds` since the scan started; what tests check received samples
// against.
VELQSIM_API(SignalAt, (int32_t serial, int32_t channel, double seconds, int32_t* microvolts), 20);

// ---- last arguments
struct VelqSimAdConfig {
  int32_t serial;
  int32_t rate;  // value read through the rate address
  int32_t clockSource;
  int32_t mode;
  int32_t reserved;
  int32_t channelCount;
  int32_t channels[32];  // first min(channelCount, 32) entries
  int32_t gainCodes[32];
};
// (Unformatted: the formatter would take these pointers for products.)
// clang-format off
VELQSIM_API(LastADConfig, (VelqSimAdConfig* out), 4);
// The arguments of the last VELQ_ADGetData: serial, buffer address and the
// count found at the count address on entry (0 when that address was null).
// Any output pointer may be null. Negative status before the first call.
VELQSIM_API(LastADGetData, (int32_t* serial, void** buffer, int32_t* countOnEntry), 12);
// clang-format on
// The last VELQ_DAWrite value of an analog output (microvolts).
VELQSIM_API(AnalogOutput, (int32_t serial, int32_t channel, int32_t* microvolts), 12);

// ---- call log
// Every VELQ_ call is logged in order as one text line:
//   Name(arg, arg, ...) = result
// integers in decimal, pointers as "ptr" or "null", the count argument of
// VELQ_ADGetData as its value on entry, e.g.
//   VELQ_Query(1000000000, 1, 0) = 3
//   VELQ_ADGetData(123456, ptr, 256) = 0
VELQSIM_API(CallCount, (), 0);
// Copies line `index` (0 = oldest) into text, terminated within `bytes`;
// negative status when there is no such line.
VELQSIM_API(CallLine, (int32_t index, char* text, int32_t bytes), 12);
VELQSIM_API(ClearLog, (), 0);
