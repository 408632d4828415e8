// Block conversion speed of the Windows flavour, run under Wine: the real
// tarnix.dll's DRV_GetInputBuf against the board library stand-in, beside
// each conversion path, the plain per-sample loop and the narrowing copy,
// all compiled for this program's target (32- or 64-bit alike).
//
// The transfer is timed call by call: VELQSIM_FeedSamples queues the block
// before each call, outside the timed part. The stand-in's own copy is timed
// the same way through VELQ_ADGetData and taken out, which leaves the DLL's
// conversion. Every result is checked against the plain loop on the same
// readings.
//
// Every measurement keeps the fastest, the median and the slowest call of
// each round, so a path that runs at two speeds shows both instead of an
// average. A path's speed can depend on what ran before it in the process:
// after AVX code has written the upper halves of the vector registers,
// legacy-encoded SSE code can run several times slower, and `vzeroupper`
// does not always end that. The output says in which order everything ran
// and whether each path had a fresh process of its own (--fresh).
//
// Options: --reps N (timed calls per measurement, default 301), --block N
// (samples, default 65535), --rounds N (default 5; all measurements are
// taken once per round, interleaved), --offset N (bytes past a 64-byte
// boundary at which the paths' readings start, default 8: what the
// system's global memory hands the module), --paths a,b,... (which paths,
// in this order; default every one the processor has, fastest first),
// --fresh (each path timed in a new process of this program that runs
// nothing else; all its rounds there), --dirty-upper (before every timed
// call, leave the upper halves of a vector register written, as AVX code
// of a host that skips `vzeroupper` would; needs AVX).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/device_record.h"
#include "abi/velqsim.h"
#include "acquire/convert.h"
#include "dll_bench_support.h"
#include "narrowing_copy.h"

namespace {

using bench::CallTimer;
using bench::Spread;

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

struct Row {
  std::string name;
  std::string note;
  std::vector<Spread> rounds;
  bool exact = true;
  bool derived = false;  // a difference of two measured rows: medians only
};

// The paths to time: those named by --paths, in that order, or every path
// the processor has, fastest first. A named path the processor lacks ends
// the program.
std::vector<std::string> ChosenPaths(const std::string& list) {
  std::vector<std::string> paths;
  if (list.empty()) {
    for (const char* path : tarnix::kConversionPaths) {
      if (tarnix::ForceConversionPath(path)) paths.emplace_back(path);
    }
  } else {
    for (std::size_t start = 0; start <= list.size();) {
      const std::size_t comma = std::min(list.find(',', start), list.size());
      paths.push_back(list.substr(start, comma - start));
      if (!tarnix::ForceConversionPath(paths.back().c_str())) {
        std::fprintf(stderr, "no conversion path '%s' on this processor\n", paths.back().c_str());
        std::exit(2);
      }
      start = comma + 1;
    }
  }
  tarnix::ForceConversionPath(nullptr);
  return paths;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options options(argc, argv);
  const int reps = std::max(3, options.Number("--reps", 301));
  const int rounds = std::max(1, options.Number("--rounds", 5));
  const auto n = static_cast<uint32_t>(std::clamp(options.Number("--block", 65535), 40, 65535));
  const int offset = std::clamp(options.Number("--offset", 8), 0, 60) / 4 * 4;
  const CallTimer timer;
  bench::Readings readings(n, offset);
  const bool dirty = options.Flag("--dirty-upper");
  __builtin_cpu_init();
  if (dirty && !__builtin_cpu_supports("avx")) {
    std::fprintf(stderr, "--dirty-upper needs a processor with AVX\n");
    return 2;
  }
  const auto beforeCall = [dirty] {
    if (dirty) bench::DirtyUpperHalves();
  };
  const std::string child = options.Text("--child");
  if (!child.empty()) return bench::RunChild(child, readings, timer, reps, rounds, beforeCall);

  const std::vector<std::string> paths = ChosenPaths(options.Text("--paths"));
  const bool fresh = options.Flag("--fresh");
  const tarnix::BlockScale scale = readings.scale;
  const std::vector<int32_t>& raw = readings.raw;
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
    beforeCall();
  };
  std::vector<int32_t> libraryBuffer(n);
  int16_t* hostBlock = nullptr;
  int32_t* dllLocal = nullptr;

  std::vector<Row> rows;
  rows.push_back({"DRV_GetInputBuf (whole transfer)", "tarnix.dll", {}});
  rows.push_back({"library copy (VELQ_ADGetData)", "VLQAPI.dll", {}});
  rows.push_back({"DLL conversion (transfer - copy)", "", {}, true, true});
  rows.push_back({"plain loop", "reference", {}});
  rows.push_back({"narrowing copy", bench::NarrowingCopyPath(), {}});
  const std::size_t firstPath = rows.size();
  for (const std::string& path : paths) rows.push_back({"path " + path, "", {}});
  const std::string chosen = tarnix::ConversionPathName();

  for (int round = 0; round < rounds; ++round) {
    rows[0].rounds.push_back(timer.Time(reps, feed, [&] { hostBlock = getBuf(); }));
    VELQSIM_LastADGetData(nullptr, reinterpret_cast<void**>(&dllLocal), nullptr);
    rows[1].rounds.push_back(timer.Time(reps, feed, [&] {
      int32_t count = static_cast<int32_t>(n);
      VELQ_ADGetData(serial, libraryBuffer.data(), &count);
    }));
    const double difference = rows[0].rounds.back().median - rows[1].rounds.back().median;
    rows[2].rounds.push_back({difference, difference, difference});
    rows[3].rounds.push_back(timer.Time(reps, beforeCall, [&] {
      tarnix::ConvertSamplesReference(readings.start, codes.data(), n, scale);
    }));
    rows[4].rounds.push_back(timer.Time(
        reps, beforeCall, [&] { bench::NarrowingCopy(readings.start, codes.data(), n); }));
    for (std::size_t p = 0; p < paths.size() && !fresh; ++p) {
      Row& row = rows[firstPath + p];
      tarnix::ForceConversionPath(paths[p].c_str());
      std::fill(codes.begin(), codes.end(), int16_t{0x5555});
      row.rounds.push_back(timer.Time(reps, beforeCall, [&] {
        tarnix::ConvertSamples(readings.start, codes.data(), n, scale);
      }));
      row.exact = row.exact && codes == readings.expected;
    }
    tarnix::ForceConversionPath(nullptr);
    rows[0].exact = rows[0].exact && hostBlock != nullptr &&
                    std::equal(readings.expected.begin(), readings.expected.end(), hostBlock);
    rows[1].exact = rows[1].exact && libraryBuffer == raw;
  }
  rows[2].exact = rows[0].exact;
  for (std::size_t p = 0; p < paths.size() && fresh; ++p) {
    Row& row = rows[firstPath + p];
    row.exact = bench::RunInFreshProcess(argc, argv, paths[p], row.rounds);
  }

  std::printf("tarnix.dll block conversion, %u samples, %d bit, %d rounds x %d calls\n", n,
              static_cast<int>(sizeof(void*) * 8), rounds, reps);
  std::printf(
      "path chosen by the processor: %s; readings of the paths %d bytes past a 64-byte "
      "boundary; DLL buffers at %u and %u; %s\n",
      chosen.c_str(), offset, static_cast<unsigned>(reinterpret_cast<uintptr_t>(dllLocal) % 64),
      static_cast<unsigned>(reinterpret_cast<uintptr_t>(hostBlock) % 64), timer.Describe().c_str());
  if (dirty) {
    std::printf(
        "before every timed call the upper half of a vector register was left written "
        "(--dirty-upper)\n");
  }
  if (fresh) {
    std::printf(
        "order: in each round the first five rows, top to bottom; then each path in a fresh "
        "process of its own that runs nothing else, all its rounds there: %s\n\n",
        Join(paths).c_str());
  } else {
    std::printf(
        "order: in each round every row top to bottom (paths: %s), all in this one process: "
        "a path runs after the vector code of the rows above it\n\n",
        Join(paths).c_str());
  }
  std::printf(
      "| measurement | G samples/s | x plain loop | %% of narrowing copy "
      "| us per call, each round: median (fastest-slowest) | exact |\n");
  std::printf("|---|---|---|---|---|---|\n");
  const double plain = bench::MedianOfMedians(rows[3].rounds);
  const double copy = bench::MedianOfMedians(rows[4].rounds);
  bool allExact = true;
  for (const Row& r : rows) {
    const double s = bench::MedianOfMedians(r.rounds);
    std::printf("| %s%s | %.2f | %.1fx | %.0f %% | %s | %s |\n", r.name.c_str(),
                r.note.empty() ? "" : (" (" + r.note + ")").c_str(), s > 0 ? n / s / 1e9 : 0.0,
                s > 0 ? plain / s : 0.0, s > 0 ? copy / s * 100.0 : 0.0,
                bench::RoundsText(r.rounds, !r.derived).c_str(), r.exact ? "yes" : "NO");
    allExact = allExact && r.exact;
  }
  // The medians carry what other work on the machine adds; the fastest
  // calls come closest to what the code itself costs.
  for (const Row& r : rows) {
    if (r.name != "path " + chosen) continue;
    std::printf(
        "\nthe default path (%s) against the narrowing copy: %.0f %% by medians, "
        "%.0f %% by the fastest calls\n",
        chosen.c_str(), copy / bench::MedianOfMedians(r.rounds) * 100.0,
        bench::Fastest(rows[4].rounds) / bench::Fastest(r.rounds) * 100.0);
  }
  const char* differing = bench::PathDifferingFromPlainLoop();
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
