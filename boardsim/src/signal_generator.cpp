#include "signal_generator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

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

int32_t Saturate(double microvolts) {
  if (std::isnan(microvolts)) return 0;
  const double rounded = std::nearbyint(microvolts);
  if (rounded >= 2147483647.0) return INT32_MAX;
  if (rounded <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(rounded);
}

// A recorded signal at a position counted in file samples (may be
// fractional when resampling: linear between neighbours).
double ReplayAt(const SignalSpec& signal, double position) {
  const std::vector<int32_t>& samples = signal.replay->microvolts;
  const double size = static_cast<double>(samples.size());
  if (!(position >= 0.0)) position = 0.0;
  if (signal.loop) {
    position = std::fmod(position, size);
  } else if (position >= size - 1.0) {
    return samples.back();
  }
  const size_t below = std::min(static_cast<size_t>(position), samples.size() - 1);
  const size_t above = below + 1 < samples.size() ? below + 1 : (signal.loop ? 0 : below);
  const double fraction = position - static_cast<double>(below);
  return samples[below] + (static_cast<double>(samples[above]) - samples[below]) * fraction;
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
    if (!signal.replay || signal.replay->microvolts.empty()) return 0;
    if (!signal.resample || signal.replay->secondsPerSample <= 0.0) {
      const size_t size = signal.replay->microvolts.size();
      const uint64_t index =
          signal.loop ? scanIndex % size : std::min<uint64_t>(scanIndex, size - 1);
      return signal.replay->microvolts[static_cast<size_t>(index)];
    }
    return Saturate(ReplayAt(signal, seconds / signal.replay->secondsPerSample));
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
  return Saturate(static_cast<double>(signal.offset) + amplitude * wave);
}

}  // namespace velqsim
