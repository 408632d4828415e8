// Block conversion speed of the Windows flavour, run under Wine: the real
// tarnix.dll's DRV_GetInputBuf against the board library stand-in, beside
// each conversion path, the plain per-sample loop and the narrowing copy,
// all compiled for this program's target (32- or 64-bit alike) and timed in
// one run.
//
// The transfer is timed call by call: VELQSIM_FeedSamples queues the block
// before each call, outside the timed part. The stand-in's own copy is timed
// the same way through VELQ_ADGetData and taken out, which leaves the DLL's
// conversion. Every result is checked against the plain loop on the same
// readings.
//
// Options: --reps N (timed calls per measurement, default 301), --block N
// (samples, default 65535), --rounds N (default 3; all measurements are
// taken once per round, interleaved, and the median of every round kept),
// --offset N (bytes past a 64-byte boundary at which the paths' readings
// start, default 8: what the system's global memory hands the module).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/velqsim.h"
#include "acquire/convert.h"
#include "narrowing_copy.h"

namespace {

using Clock = std::chrono::steady_clock;

using InitFn = int32_t(__stdcall*)(void*);
using SizeFn = int32_t(__stdcall*)(int32_t);
using GetBufFn = int16_t*(__stdcall*)();

constexpr std::size_t kRecordBytes = 32768;

template <class F>
F Export(HMODULE module, const char* name) {
  FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) {
    std::fprintf(stderr, "tarnix.dll lacks %s\n", name);
    std::exit(2);
  }
  return reinterpret_cast<F>(reinterpret_cast<void*>(address));
}

template <typename T>
void Put(std::vector<uint8_t>& record, std::size_t offset, T value) {
  std::memcpy(record.data() + offset, &value, sizeof value);
}

// Median time of `reps` calls of `call`, each preceded by an untimed
// `prepare`; seconds.
double MedianSeconds(int reps, const std::function<void()>& prepare,
                     const std::function<void()>& call) {
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(reps));
  for (int r = 0; r < reps; ++r) {
    prepare();
    const Clock::time_point start = Clock::now();
    call();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + reps / 2, times.end());
  return times[static_cast<std::size_t>(reps / 2)];
}

struct Row {
  std::string name;
  std::string note;
  std::vector<double> seconds;  // one median per round
  bool exact = true;
  bool derived = false;  // a difference of two measured rows
};

// Every path against the plain loop for every nonzero 16-bit divisor, on
// the readings where a division goes wrong first: the extremes, the clamp
// limits and whole multiples of the divisor (the largest ones included),
// each +-1. Returns the first path that differs, or nullptr.
const char* PathDifferingFromPlainLoop(const char* const* paths, std::size_t count) {
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
      for (std::size_t p = 0; p < count; ++p) {
        if (!tarnix::ForceConversionPath(paths[p])) continue;
        fast.assign(n, 0x5555);
        tarnix::ConvertSamples(raw.data(), fast.data(), n, scale);
        if (fast != plain) {
          tarnix::ForceConversionPath(nullptr);
          return paths[p];
        }
      }
    }
  }
  tarnix::ForceConversionPath(nullptr);
  return nullptr;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Option(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = std::max(3, Option(argc, argv, "--reps", 301));
  const int rounds = std::max(1, Option(argc, argv, "--rounds", 3));
  const auto n = static_cast<uint32_t>(std::clamp(Option(argc, argv, "--block", 65535), 40, 65535));

  // Readings of a +-10 V board with some over-range samples.
  const int offset = std::clamp(Option(argc, argv, "--offset", 8), 0, 60) / 4 * 4;
  std::vector<int32_t> rawStore(n + 32);
  const auto base = reinterpret_cast<uintptr_t>(rawStore.data());
  int32_t* rawStart = rawStore.data() + ((64 - base % 64) % 64 + offset) / 4;
  std::vector<int32_t> raw(n);
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int32_t> dist(-12000000, 12000000);
  for (int32_t& v : raw) v = dist(rng);
  std::copy(raw.begin(), raw.end(), rawStart);
  const tarnix::BlockScale scale = tarnix::ScaleForRange(-10.0, 10.0);
  std::vector<int16_t> expected(n);
  tarnix::ConvertSamplesReference(raw.data(), expected.data(), n, scale);
  std::vector<int16_t> codes(n);

  HMODULE dll = LoadLibraryA("tarnix.dll");
  if (dll == nullptr) {
    std::fprintf(stderr, "tarnix.dll not found beside the program\n");
    return 2;
  }
  std::vector<uint8_t> record(kRecordBytes, 0);
  Put<int16_t>(record, TARNIX_RECORD(structVersion), tarnix::kHostStructVersion);
  if (Export<InitFn>(dll, "DRV_InitDevice")(record.data()) != 1) {
    std::fprintf(stderr, "DRV_InitDevice failed\n");
    return 2;
  }
  const int32_t serial = VELQ_Query(1000000000, 15, 0);
  const std::size_t countOffset = TARNIX_RECORD(blockSize);
  Put<int32_t>(record, countOffset, static_cast<int32_t>(n));
  Put<int32_t>(record, TARNIX_RECORD(bufferSize), static_cast<int32_t>(n));
  if (Export<SizeFn>(dll, "DRV_SetInputBufferSize")(static_cast<int32_t>(n)) != 1) {
    std::fprintf(stderr, "DRV_SetInputBufferSize failed\n");
    return 2;
  }
  Put<double>(record, TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, maxValue), 10.0);
  Put<double>(record, TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, minValue), -10.0);
  const GetBufFn getBuf = Export<GetBufFn>(dll, "DRV_GetInputBuf");

  const auto feed = [&] {
    Put<int32_t>(record, countOffset, static_cast<int32_t>(n));
    VELQSIM_FeedSamples(raw.data(), static_cast<int32_t>(n), static_cast<int32_t>(n));
  };
  std::vector<int32_t> libraryBuffer(n);
  int16_t* hostBlock = nullptr;
  int32_t* dllLocal = nullptr;
  const auto nothing = [] {};

  std::vector<Row> rows;
  rows.push_back({"DRV_GetInputBuf (whole transfer)", "tarnix.dll", {}});
  rows.push_back({"library copy (VELQ_ADGetData)", "VLQAPI.dll", {}});
  rows.push_back({"DLL conversion (transfer - copy)", "", {}, true, true});
  rows.push_back({"plain loop", "reference", {}});
  rows.push_back({"narrowing copy", bench::NarrowingCopyPath(), {}});
  const char* kPaths[] = {"avx512", "avx2", "sse2", "scalar"};
  for (const char* path : kPaths) {
    if (tarnix::ForceConversionPath(path)) rows.push_back({std::string("path ") + path, "", {}});
  }
  tarnix::ForceConversionPath(nullptr);
  const std::string chosen = tarnix::ConversionPathName();

  for (int round = 0; round < rounds; ++round) {
    std::size_t row = 0;
    rows[row++].seconds.push_back(MedianSeconds(reps, feed, [&] { hostBlock = getBuf(); }));
    VELQSIM_LastADGetData(nullptr, reinterpret_cast<void**>(&dllLocal), nullptr);
    rows[row].seconds.push_back(MedianSeconds(reps, feed, [&] {
      int32_t count = static_cast<int32_t>(n);
      VELQ_ADGetData(serial, libraryBuffer.data(), &count);
    }));
    rows[row + 1].seconds.push_back(rows[row - 1].seconds.back() - rows[row].seconds.back());
    row += 2;
    rows[row++].seconds.push_back(MedianSeconds(
        reps, nothing, [&] { tarnix::ConvertSamplesReference(rawStart, codes.data(), n, scale); }));
    rows[row++].seconds.push_back(
        MedianSeconds(reps, nothing, [&] { bench::NarrowingCopy(rawStart, codes.data(), n); }));
    for (const char* path : kPaths) {
      if (!tarnix::ForceConversionPath(path)) continue;
      std::fill(codes.begin(), codes.end(), int16_t{0x5555});
      rows[row].seconds.push_back(MedianSeconds(
          reps, nothing, [&] { tarnix::ConvertSamples(rawStart, codes.data(), n, scale); }));
      rows[row].exact = rows[row].exact && codes == expected;
      ++row;
    }
    tarnix::ForceConversionPath(nullptr);
    rows[0].exact = rows[0].exact && hostBlock != nullptr &&
                    std::equal(expected.begin(), expected.end(), hostBlock);
    rows[1].exact = rows[1].exact && libraryBuffer == raw;
  }
  rows[2].exact = rows[0].exact;

  const double plain = Median(rows[3].seconds);
  const double copy = Median(rows[4].seconds);
  std::printf("tarnix.dll block conversion, %u samples, %d bit, %d rounds x %d calls\n", n,
              static_cast<int>(sizeof(void*) * 8), rounds, reps);
  std::printf(
      "path chosen by the processor: %s; readings of the paths %d bytes past a 64-byte "
      "boundary; DLL buffers at %u and %u\n\n",
      chosen.c_str(), offset, static_cast<unsigned>(reinterpret_cast<uintptr_t>(dllLocal) % 64),
      static_cast<unsigned>(reinterpret_cast<uintptr_t>(hostBlock) % 64));
  std::printf(
      "| measurement | G samples/s | x plain loop | %% of narrowing copy | spread | exact |\n");
  std::printf("|---|---|---|---|---|---|\n");
  bool allExact = true;
  for (const Row& r : rows) {
    const double s = Median(r.seconds);
    const auto [lo, hi] = std::minmax_element(r.seconds.begin(), r.seconds.end());
    const double rate = s > 0 ? n / s / 1e9 : 0.0;
    const double spread = s > 0 ? (*hi - *lo) / s * 100.0 : 0.0;
    std::printf("| %s%s%s | %.2f | %.1fx | %.0f %% | +-%.0f %% | %s |\n", r.name.c_str(),
                r.note.empty() ? "" : " ", r.note.empty() ? "" : ("(" + r.note + ")").c_str(), rate,
                s > 0 ? plain / s : 0.0, s > 0 ? copy / s * 100.0 : 0.0, spread / 2,
                r.exact ? "yes" : "NO");
    allExact = allExact && r.exact;
  }
  const char* differing = PathDifferingFromPlainLoop(kPaths, std::size(kPaths));
  std::printf("\nevery 16-bit divisor, every path: %s%s\n",
              differing == nullptr ? "same codes as the plain loop" : "DIFFERS on path ",
              differing == nullptr ? "" : differing);
  allExact = allExact && differing == nullptr;
  if (!allExact) {
    std::printf("\nsome results differ from the plain loop\n");
    return 1;
  }
  return 0;
}
