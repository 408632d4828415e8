// What the Windows conversion benchmark (dll_transfer_bench.cpp) needs
// besides the DLL: its options, a call timer, the readings, the check of
// every path against the plain loop, and the timing of one path in a fresh
// process of the same program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "acquire/convert.h"

namespace bench {

// "--name value" options and "--name" flags.
class Options {
 public:
  Options(int argc, char** argv) : args_(argv + 1, argv + argc) {}
  int Number(const char* name, int fallback) const;
  std::string Text(const char* name) const;  // "" when absent
  bool Flag(const char* name) const;

 private:
  std::vector<std::string> args_;
};

// Seconds of the fastest, the median and the slowest call of one round.
struct Spread {
  double min, median, max;
};

// Times calls with the processor's time-stamp counter: the system clock
// under Wine counts in steps of 100 ns, a few percent of a fast path's
// call. The counter's rate is measured against the system clock once.
class CallTimer {
 public:
  CallTimer();
  // `reps` calls of `call`, each after an untimed `prepare`.
  Spread Time(int reps, const std::function<void()>& prepare,
              const std::function<void()>& call) const;
  std::string Describe() const;

 private:
  double secondsPerTick_;
};

// Readings of a +-10 V board with some over-range samples, a copy of them
// `offset` bytes past a 64-byte boundary (`start`), the +-10 V scale and the
// plain loop's codes for them.
struct Readings {
  Readings(uint32_t n, int offset);
  std::vector<int32_t> raw;
  std::vector<int32_t> store;
  const int32_t* start;
  tarnix::BlockScale scale;
  std::vector<int16_t> expected;
};

// Leaves the upper halves of vector registers written, as AVX code in a
// host that skips `vzeroupper` would (--dirty-upper): the state in which
// legacy-encoded SSE code can run several times slower.
void DirtyUpperHalves();

double MedianOfMedians(const std::vector<Spread>& rounds);
double Fastest(const std::vector<Spread>& rounds);

// "median (fastest-slowest)" of each round in microseconds, or the medians
// alone.
std::string RoundsText(const std::vector<Spread>& rounds, bool withRange);

// Every path the processor has against the plain loop for every nonzero
// 16-bit divisor, on the readings where a division goes wrong first.
// Returns the first path that differs, or nullptr.
const char* PathDifferingFromPlainLoop();

// The child's side of --fresh: times `path` alone (each call after
// `prepare`) and prints one line per
// round and whether its codes were exact. Returns the exit status.
int RunChild(const std::string& path, const Readings& readings, const CallTimer& timer, int reps,
             int rounds, const std::function<void()>& prepare);

// Starts this program again with the same options to time `path` alone;
// fills `rounds` from its report. Returns whether it ran and was exact.
bool RunInFreshProcess(int argc, char** argv, const std::string& path, std::vector<Spread>& rounds);

}  // namespace bench
