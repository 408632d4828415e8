// What the simulated library knows about itself and its boards: the
// description a profile (or the built-in default world) provides. Runtime
// state (scan, FIFO, outputs) lives in sim_state.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "abi/board_api.h"

namespace velqsim {

using tarnix::velq::kLibrarySerial;                 // the serial that names the library
inline constexpr int32_t kMaxScanChannels = 16;     // channel count of one scan
inline constexpr int32_t kMaxInputs = 64;           // analog inputs of a board
inline constexpr int32_t kMaxTableEntries = 32;     // outputs, ports, counters
inline constexpr int32_t kMaxRateLimit = 10000000;  // highest maxRate a profile may give
inline constexpr int32_t kDefaultFifoCapacity = 1048576;
inline constexpr int32_t kFullScaleMicrovolts = 10000000;  // analog outputs: +-10 V

enum class SignalKind : int32_t {
  kSine = 0,
  kSquare = 1,
  kRamp = 2,
  kNoise = 3,
  kConstant = 4,
  kSequence = 5,  // sample k: -amplitude + k * step, back to -amplitude past +amplitude
  kReplay = 6,    // a recorded signal (CSV or WAV), see replay_source.h
  kLoopback = 7,  // wired to an analog output: reads what was last written to it
};

// A recorded signal (replay_source.h), opened when the profile is loaded and
// shared by every copy of the board description.
class ReplaySource;

// One analog input's generator. Values in microvolts, frequency in hertz.
struct SignalSpec {
  SignalKind kind = SignalKind::kConstant;
  int32_t amplitude = 0;
  int32_t offset = 0;
  double frequency = 0.0;
  int32_t step = 0;  // sequence: microvolts from one sample of the channel to the next
  std::shared_ptr<const ReplaySource> replay;
  // replay: keep the file's time step (false: one file sample per scan); the
  // profile's "resample", else true but for recordings.
  bool resample = true;
  bool loop = true;      // replay: start again at the end (false: hold the last value)
  int32_t output = -1;   // loopback: the analog output driving this input
};

// A wire from a digital output port to a digital input port: reading the
// input port gives what was last written to the output port.
struct PortWire {
  int32_t output;
  int32_t input;
};

// A fault of the board: once `after` stream samples have been produced,
// `count` samples are lost silently (no overrun indicator), once per scan.
struct SampleLoss {
  int64_t after = -1;  // -1: no loss
  int32_t count = 0;
};

// Key of an answer override: (serial, query code, parameter); parameter -1
// stands for every parameter.
struct AnswerKey {
  int32_t serial;
  int32_t code;
  int32_t param;
  auto operator<=>(const AnswerKey&) const = default;
};

struct BoardDescription {
  int32_t serial = 0;
  std::string name;
  int32_t type = 0;
  int32_t revision = 0;
  int32_t manufactured[3] = {0, 0, 0};          // queries 12 (year), 13 (month), 14 (day)
  int32_t version[3] = {0, 0, 0};               // queries 20, 21, 22
  int32_t maxRate = 100000;                     // query 102, Hz
  int32_t inputs = 16;                          // analog-input channels
  std::vector<int32_t> gainSpans;               // query 145, millivolts
  std::vector<int32_t> rangeKinds;              // query 147, 0..3
  int32_t analogOutputs = 0;                    // query 200
  int32_t counters = 0;                         // query 300
  int32_t digitalPorts = 0;                     // query 400
  int32_t portWidth = 8;                        // bits per digital port
  std::vector<double> counterRates;             // counts per second, one per counter
  int32_t fifoCapacity = kDefaultFifoCapacity;  // samples
  std::vector<SignalSpec> signals;              // one per analog input
  SampleLoss loss;                              // profile key "loseSamples"
  // Profile key "portWires". A port no wire ends at reads back its own output.
  std::vector<PortWire> portWires;
};

struct WorldSpec {
  int32_t version[3] = {3, 5, 3};        // queries 1, 2, 3
  int32_t operatingSystem = 2;           // query 4
  std::string libraryName = "No board";  // VELQ_StrBoardName for serial 0
  std::vector<BoardDescription> boards;
  std::map<AnswerKey, int32_t> answers;  // fixed answers from the profile
};

// The world the library starts with: library 3.5.3 and two boards, each
// with analog input 15 wired to analog output 0.
WorldSpec MakeDefaultWorld();

// A realistic mix of generators for `inputs` channels of a board whose
// inputs span +-10 V; `variant` varies the mix between boards.
std::vector<SignalSpec> DefaultSignals(int32_t inputs, int32_t variant);

}  // namespace velqsim
