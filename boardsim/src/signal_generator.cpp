#include "signal_generator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "replay_source.h"

namespace velqsim {

namespace {

// Fractional position inside the period at `seconds`, in [0, 1).
double Phase(double frequency, double seconds) {
  const double cycles = frequency * seconds;
  const double phase = cycles - std::floor(cycles);
  return (phase >= 0.0 && phase < 1.0) ? phase : 0.0;
}

uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Uniform in [-1, 1], a pure function of time and seed.
double NoiseAt(double seconds, uint32_t seed) {
  const uint64_t bits = std::bit_cast<uint64_t>(seconds) ^ (uint64_t{seed} << 32);
  const uint64_t mixed = Mix64(bits);
  return static_cast<double>(mixed >> 11) / 4503599627370496.0 - 1.0;  // 2^52
}

// A recorded signal at a position counted in file samples (may be
// fractional when resampling: linear between neighbours).
double ReplayAt(const SignalSpec& signal, double position) {
  const ReplaySource& samples = *signal.replay;
  const uint64_t count = samples.Count();
  const double size = static_cast<double>(count);
  if (!(position >= 0.0)) position = 0.0;
  if (signal.loop) {
    position = std::fmod(position, size);
  } else if (position >= size - 1.0) {
    return samples.Microvolts(count - 1);
  }
  const uint64_t below = std::min(static_cast<uint64_t>(position), count - 1);
  const uint64_t above = below + 1 < count ? below + 1 : (signal.loop ? 0 : below);
  const double fraction = position - static_cast<double>(below);
  const double first = samples.Microvolts(below);
  return first + (static_cast<double>(samples.Microvolts(above)) - first) * fraction;
}

}  // namespace

int32_t SequenceValue(int32_t window, int32_t step, uint64_t k) {
  const int64_t span = 2 * static_cast<int64_t>(window);
  const uint64_t period = static_cast<uint64_t>(span / step) + 1;
  return static_cast<int32_t>(-static_cast<int64_t>(window) +
                              static_cast<int64_t>(k % period) * step);
}

int32_t SignalValue(const SignalSpec& signal, double seconds, uint64_t scanIndex, uint32_t seed) {
  if (signal.kind == SignalKind::kSequence) {
    return signal.step > 0 ? SequenceValue(signal.amplitude, signal.step, scanIndex) : 0;
  }
  if (signal.kind == SignalKind::kReplay) {
    if (!signal.replay) return 0;
    const ReplaySource& replay = *signal.replay;
    if (!signal.resample || replay.SecondsPerSample() <= 0.0) {
      const uint64_t count = replay.Count();
      return replay.Microvolts(signal.loop ? scanIndex % count
                                           : std::min<uint64_t>(scanIndex, count - 1));
    }
    return SaturatedMicrovolts(ReplayAt(signal, seconds / replay.SecondsPerSample()));
  }
  const double amplitude = signal.amplitude;
  double wave = 0.0;
  switch (signal.kind) {
    case SignalKind::kSine:
      wave = std::sin(2.0 * std::numbers::pi * Phase(signal.frequency, seconds));
      break;
    case SignalKind::kSquare:
      wave = Phase(signal.frequency, seconds) < 0.5 ? 1.0 : -1.0;
      break;
    case SignalKind::kRamp:
      wave = 2.0 * Phase(signal.frequency, seconds) - 1.0;
      break;
    case SignalKind::kNoise:
      wave = NoiseAt(seconds, seed);
      break;
    case SignalKind::kConstant:
    case SignalKind::kSequence:
    case SignalKind::kReplay:
    case SignalKind::kLoopback:  // the board's outputs decide, see sim_state.h
      wave = 0.0;
      break;
  }
  return SaturatedMicrovolts(static_cast<double>(signal.offset) + amplitude * wave);
}

}  // namespace velqsim
