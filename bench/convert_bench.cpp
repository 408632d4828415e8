// Block conversion speed: the vectorised conversion against the plain
// per-sample loop and against a narrowing copy of the same samples.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "acquire/convert.h"
#include "narrowing_copy.h"

namespace {

// Readings of a +-10 V board with some over-range samples; the clamp and
// the divisor are those of a +-10 V range.
struct Block {
  explicit Block(uint32_t n) : raw(n), codes(n) {
    std::mt19937 rng(2026);
    std::uniform_int_distribution<int32_t> dist(-12000000, 12000000);
    for (int32_t& v : raw) v = dist(rng);
  }
  std::vector<int32_t> raw;
  std::vector<int16_t> codes;
};

const tarnix::BlockScale kScale = tarnix::ScaleForRange(-10.0, 10.0);

template <typename Fn>
void Run(benchmark::State& state, Fn fn) {
  Block block(static_cast<uint32_t>(state.range(0)));
  const auto n = static_cast<uint32_t>(block.raw.size());
  for (auto _ : state) {
    fn(block.raw.data(), block.codes.data(), n);
    benchmark::DoNotOptimize(block.codes.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_Convert(benchmark::State& state) {
  state.SetLabel(tarnix::ConversionPathName());
  Run(state, [](const int32_t* in, int16_t* out, uint32_t n) {
    tarnix::ConvertSamples(in, out, n, kScale);
  });
}

void BM_ConvertPlainLoop(benchmark::State& state) {
  Run(state, [](const int32_t* in, int16_t* out, uint32_t n) {
    tarnix::ConvertSamplesReference(in, out, n, kScale);
  });
}

void BM_NarrowingCopy(benchmark::State& state) {
  state.SetLabel(bench::NarrowingCopyPath());
  Run(state, bench::NarrowingCopy);
}

// Each vector path on its own, where the processor has it.
void BM_ConvertPath(benchmark::State& state, const char* path) {
  if (!tarnix::ForceConversionPath(path)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  state.SetLabel(path);
  Run(state, [](const int32_t* in, int16_t* out, uint32_t n) {
    tarnix::ConvertSamples(in, out, n, kScale);
  });
  tarnix::ForceConversionPath(nullptr);
}

BENCHMARK(BM_Convert)->Arg(65535)->Arg(256);
BENCHMARK(BM_ConvertPlainLoop)->Arg(65535)->Arg(256);
BENCHMARK(BM_NarrowingCopy)->Arg(65535)->Arg(256);
BENCHMARK_CAPTURE(BM_ConvertPath, sse2, "sse2")->Arg(65535)->Arg(256);
BENCHMARK_CAPTURE(BM_ConvertPath, sse2_vex, "sse2-vex")->Arg(65535)->Arg(256);
BENCHMARK_CAPTURE(BM_ConvertPath, avx2, "avx2")->Arg(65535)->Arg(256);
BENCHMARK_CAPTURE(BM_ConvertPath, avx512, "avx512")->Arg(65535)->Arg(256);
BENCHMARK_CAPTURE(BM_ConvertPath, avx512vbmi, "avx512vbmi")->Arg(65535)->Arg(256);

}  // namespace
