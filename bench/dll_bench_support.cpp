#include "dll_bench_support.h"

#include <windows.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace bench {

int Options::Number(const char* name, int fallback) const {
  const std::string text = Text(name);
  return text.empty() ? fallback : std::atoi(text.c_str());
}

std::string Options::Text(const char* name) const {
  for (std::size_t i = 0; i + 1 < args_.size(); ++i) {
    if (args_[i] == name) return args_[i + 1];
  }
  return "";
}

bool Options::Flag(const char* name) const {
  return std::find(args_.begin(), args_.end(), name) != args_.end();
}

namespace {

// The counter read after everything before it has finished.
uint64_t Ticks() {
  asm volatile("lfence" ::: "memory");
  const uint64_t ticks = __rdtsc();
  asm volatile("lfence" ::: "memory");
  return ticks;
}

}  // namespace

CallTimer::CallTimer() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const uint64_t startTicks = Ticks();
  Sleep(200);
  const uint64_t ticks = Ticks() - startTicks;
  secondsPerTick_ = std::chrono::duration<double>(Clock::now() - start).count() / ticks;
}

Spread CallTimer::Time(int reps, const std::function<void()>& prepare,
                       const std::function<void()>& call) const {
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(reps));
  for (int r = 0; r < reps; ++r) {
    prepare();
    const uint64_t start = Ticks();
    call();
    times.push_back(static_cast<double>(Ticks() - start) * secondsPerTick_);
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2], times.back()};
}

std::string CallTimer::Describe() const {
  char text[96];
  std::snprintf(text, sizeof text, "timed by the time-stamp counter (%.3f GHz)",
                1e-9 / secondsPerTick_);
  return text;
}

Readings::Readings(uint32_t n, int offset) : raw(n), store(n + 32), expected(n) {
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int32_t> dist(-12000000, 12000000);
  for (int32_t& v : raw) v = dist(rng);
  const auto base = reinterpret_cast<uintptr_t>(store.data());
  int32_t* at = store.data() + ((64 - base % 64) % 64 + static_cast<uintptr_t>(offset)) / 4;
  std::copy(raw.begin(), raw.end(), at);
  start = at;
  scale = tarnix::ScaleForRange(-10.0, 10.0);
  tarnix::ConvertSamplesReference(raw.data(), expected.data(), n, scale);
}

// Not compiled for AVX: for a function of that target the compiler ends
// with `vzeroupper`, which would undo the point. ymm1 is a register no
// call preserves on either Windows ABI, and `noipa` keeps the compiler
// from assuming otherwise at the call.
__attribute__((noipa)) void DirtyUpperHalves() { asm volatile("vpcmpeqd %ymm1, %ymm1, %ymm1"); }

double MedianOfMedians(const std::vector<Spread>& rounds) {
  std::vector<double> medians;
  for (const Spread& s : rounds) medians.push_back(s.median);
  if (medians.empty()) return 0.0;
  std::sort(medians.begin(), medians.end());
  return medians[medians.size() / 2];
}

double Fastest(const std::vector<Spread>& rounds) {
  double fastest = 0.0;
  for (const Spread& s : rounds) {
    if (fastest == 0.0 || s.min < fastest) fastest = s.min;
  }
  return fastest;
}

std::string RoundsText(const std::vector<Spread>& rounds, bool withRange) {
  std::string text;
  char one[64];
  for (const Spread& s : rounds) {
    if (withRange) {
      std::snprintf(one, sizeof one, "%.2f (%.2f-%.2f)", s.median * 1e6, s.min * 1e6, s.max * 1e6);
    } else {
      std::snprintf(one, sizeof one, "%.2f", s.median * 1e6);
    }
    text += (text.empty() ? "" : ", ") + std::string(one);
  }
  return text;
}

const char* PathDifferingFromPlainLoop() {
  std::vector<int32_t> raw;
  std::vector<int16_t> fast, plain;
  for (int32_t d = INT16_MIN; d <= INT16_MAX; ++d) {
    if (d == 0) continue;
    const int64_t magnitude = d < 0 ? -int64_t{d} : d;
    const int64_t top = INT32_MAX / magnitude;
    // Three windows: all of int32, the one a range of d x 2047 gives, and
    // the widest whose codes still fit 16 bits (the short form's limit).
    const int64_t narrow = std::min<int64_t>(magnitude * 2047, INT32_MAX);
    const int64_t wide = std::min<int64_t>(magnitude * 32768 - 1, INT32_MAX);
    for (const int64_t window : {int64_t{INT32_MAX}, narrow, wide}) {
      const tarnix::BlockScale scale{static_cast<int32_t>(-window - (window == INT32_MAX)),
                                     static_cast<int32_t>(window), static_cast<int16_t>(d)};
      const int64_t edge = window / magnitude;
      raw = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, 0, 1, -1};
      for (int64_t k : {int64_t{1}, int64_t{2}, int64_t{2047}, top, top - 1, edge, edge - 1}) {
        for (int64_t delta : {-1, 0, 1}) {
          for (int64_t v : {k * d + delta, -k * d + delta, window + delta, -window + delta}) {
            if (v >= INT32_MIN && v <= INT32_MAX) raw.push_back(static_cast<int32_t>(v));
          }
        }
      }
      const auto n = static_cast<uint32_t>(raw.size());
      plain.assign(n, 0);
      tarnix::ConvertSamplesReference(raw.data(), plain.data(), n, scale);
      for (const char* path : tarnix::kConversionPaths) {
        if (!tarnix::ForceConversionPath(path)) continue;
        fast.assign(n, 0x5555);
        tarnix::ConvertSamples(raw.data(), fast.data(), n, scale);
        if (fast != plain) {
          tarnix::ForceConversionPath(nullptr);
          return path;
        }
      }
    }
  }
  tarnix::ForceConversionPath(nullptr);
  return nullptr;
}

int RunChild(const std::string& path, const Readings& readings, const CallTimer& timer, int reps,
             int rounds, const std::function<void()>& prepare) {
  if (!tarnix::ForceConversionPath(path.c_str())) return 2;
  const auto n = static_cast<uint32_t>(readings.raw.size());
  std::vector<int16_t> codes(n);
  bool exact = true;
  for (int round = 0; round < rounds; ++round) {
    std::fill(codes.begin(), codes.end(), int16_t{0x5555});
    const Spread s = timer.Time(reps, prepare, [&] {
      tarnix::ConvertSamples(readings.start, codes.data(), n, readings.scale);
    });
    exact = exact && codes == readings.expected;
    std::printf("round %.9e %.9e %.9e\n", s.min, s.median, s.max);
  }
  std::printf("exact %d\n", exact ? 1 : 0);
  return 0;
}

bool RunInFreshProcess(int argc, char** argv, const std::string& path,
                       std::vector<Spread>& rounds) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string command = std::string("\"") + program + "\"";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh") == 0) continue;
    if (std::strcmp(argv[i], "--paths") == 0) {
      ++i;
      continue;
    }
    command += std::string(" ") + argv[i];
  }
  command += " --child " + path;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  std::string report;
  char buffer[4096];
  DWORD got = 0;
  while (started && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    report.append(buffer, got);
  }
  CloseHandle(readEnd);
  if (!started) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  int exact = 0;
  for (std::size_t at = 0; at < report.size();) {
    const std::size_t end = std::min(report.find('\n', at), report.size());
    const std::string line = report.substr(at, end - at);
    Spread s{};
    if (std::sscanf(line.c_str(), "round %lf %lf %lf", &s.min, &s.median, &s.max) == 3) {
      rounds.push_back(s);
    }
    std::sscanf(line.c_str(), "exact %d", &exact);
    at = end + 1;
  }
  return status == 0 && exact == 1 && !rounds.empty();
}

}  // namespace bench
