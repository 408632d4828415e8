#include "signal_generator.h"

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

}  // namespace

int32_t SignalValue(const SignalSpec& signal, double seconds, uint32_t seed) {
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
      wave = 0.0;
      break;
  }
  return Saturate(static_cast<double>(signal.offset) + amplitude * wave);
}

}  // namespace velqsim
