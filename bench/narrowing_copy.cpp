#include "narrowing_copy.h"

namespace bench {

namespace {

// One plain loop, compiled three times; the compiler vectorises each for its
// instruction set.
#define NARROW_BODY \
  for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(in[i]);

__attribute__((target("avx512f,avx512bw,prefer-vector-width=512"))) void CopyAvx512(
    const int32_t* __restrict in, int16_t* __restrict out, uint32_t count) {
  NARROW_BODY
}
__attribute__((target("avx2"))) void CopyAvx2(const int32_t* __restrict in, int16_t* __restrict out,
                                              uint32_t count) {
  NARROW_BODY
}
__attribute__((target("sse2"))) void CopySse2(const int32_t* __restrict in, int16_t* __restrict out,
                                              uint32_t count) {
  NARROW_BODY
}

using Copy = void (*)(const int32_t*, int16_t*, uint32_t);

struct Choice {
  Copy copy;
  const char* name;
};

Choice Choose() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512bw")) return {CopyAvx512, "avx512"};
  if (__builtin_cpu_supports("avx2")) return {CopyAvx2, "avx2"};
  return {CopySse2, "sse2"};
}

const Choice kChoice = Choose();

}  // namespace

void NarrowingCopy(const int32_t* in, int16_t* out, uint32_t count) {
  kChoice.copy(in, out, count);
}

const char* NarrowingCopyPath() { return kChoice.name; }

}  // namespace bench
