// The built-in world: what the library serves when nothing is configured.
#include "board_model.h"

namespace velqsim {

namespace {

SignalSpec Wave(SignalKind kind, int32_t amplitude, int32_t offset, double frequency) {
  SignalSpec signal;
  signal.kind = kind;
  signal.amplitude = amplitude;
  signal.offset = offset;
  signal.frequency = frequency;
  return signal;
}

// The last input of each default board is wired to analog output 0, so that
// what a host writes there comes back in its scans. In the mix that input
// only repeats a shape that inputs 0-14 already carry.
constexpr int32_t kWiredInput = 15;

SignalSpec WiredToOutput(int32_t output) {
  SignalSpec signal;
  signal.kind = SignalKind::kLoopback;
  signal.output = output;
  return signal;
}

}  // namespace

std::vector<SignalSpec> DefaultSignals(int32_t inputs, int32_t variant) {
  // Eight archetypes of bench signals, all inside +-10 V; the remaining
  // channels repeat them with other frequencies so no two channels match.
  static const SignalSpec kPattern[8] = {
      Wave(SignalKind::kSine, 5000000, 0, 10.0),        // 5 V sine, 10 Hz
      Wave(SignalKind::kSquare, 2000000, 500000, 5.0),  // 2 V square around 0.5 V
      Wave(SignalKind::kRamp, 8000000, 0, 1.0),         // 8 V sawtooth, 1 Hz
      Wave(SignalKind::kNoise, 500000, 1000000, 0.0),   // 0.5 V noise on 1 V
      Wave(SignalKind::kConstant, 0, 2500000, 0.0),     // 2.5 V reference
      Wave(SignalKind::kSine, 1000000, 500000, 50.0),   // 1 V mains-like sine
      Wave(SignalKind::kSine, 9000000, 0, 0.5),         // near full scale, slow
      Wave(SignalKind::kConstant, 0, -3300000, 0.0),    // -3.3 V supply
  };
  std::vector<SignalSpec> signals;
  for (int32_t channel = 0; channel < inputs; ++channel) {
    SignalSpec signal = kPattern[(channel + variant) % 8];
    const int32_t round = channel / 8 + variant;
    if (round > 0 && signal.frequency > 0.0) signal.frequency *= 1.0 + round;
    if (round > 0 && signal.kind == SignalKind::kConstant) signal.offset /= (1 + round);
    signals.push_back(signal);
  }
  return signals;
}

WorldSpec MakeDefaultWorld() {
  WorldSpec world;

  BoardDescription first;
  first.serial = 20130017;
  first.name = "VQ-1608 Multifunction";
  first.type = 16;
  first.revision = 3;
  first.manufactured[0] = 2019;
  first.manufactured[1] = 3;
  first.manufactured[2] = 14;
  first.version[0] = 2;
  first.version[1] = 1;
  first.version[2] = 7;
  first.maxRate = 100000;
  first.inputs = 16;
  first.gainSpans = {20000, 10000, 5000, 2000};
  first.rangeKinds = {1, 3};  // bipolar single ended, bipolar differential
  first.analogOutputs = 2;
  first.counters = 3;
  first.counterRates = {1000.0, 100.0, 1.0};
  first.digitalPorts = 2;
  first.signals = DefaultSignals(first.inputs, 0);
  first.signals[kWiredInput] = WiredToOutput(0);
  world.boards.push_back(first);

  BoardDescription second;
  second.serial = 20140342;
  second.name = "VQ-3216 High Speed";
  second.type = 32;
  second.revision = 1;
  second.manufactured[0] = 2021;
  second.manufactured[1] = 11;
  second.manufactured[2] = 2;
  second.version[0] = 3;
  second.version[1] = 0;
  second.version[2] = 4;
  second.maxRate = 250000;
  second.inputs = 16;
  second.gainSpans = {20000, 10000, 5000, 2000, 1000};
  second.rangeKinds = {0, 1, 2, 3};  // every kind
  second.analogOutputs = 4;
  second.counters = 2;
  second.counterRates = {10000.0, 50.0};
  second.digitalPorts = 4;
  second.signals = DefaultSignals(second.inputs, 3);
  second.signals[kWiredInput] = WiredToOutput(0);
  world.boards.push_back(second);

  return world;
}

}  // namespace velqsim
