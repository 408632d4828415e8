// Every input of the fuzz corpus (the host's usual calling orders and each
// input that once crashed the module) replayed through the fuzz target's own
// harness, so a fault the fuzzer found stays found in every native flavour,
// with or without clang. A crash, a sanitizer report or a failed harness
// check ends this program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "core/driver_state.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

std::filesystem::path CorpusDir() {
  const char* source = std::getenv("TARNIX_SOURCE");
  return std::filesystem::path(source != nullptr ? source : TARNIX_SOURCE_DIR) / "fuzz" / "corpus";
}

TEST(CorpusReplay, EveryCorpusInputRunsCleanly) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_GE(inputs.size(), 10u) << "seed corpus missing in " << CorpusDir();
  ASSERT_TRUE(std::any_of(inputs.begin(), inputs.end(), [](const auto& p) {
    return p.filename().string().rfind("regress_", 0) == 0;
  })) << "no crash input kept in the corpus";

  char pattern[] = "/tmp/tarnix-replay-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  setenv("TARNIX_FUZZ_WORKDIR", pattern, 1);
  LLVMFuzzerInitialize(nullptr, nullptr);
  for (const auto& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    EXPECT_EQ(LLVMFuzzerTestOneInput(data.data(), data.size()), 0);
  }
  // The harness really drove the module: the sessions open the dialogs.
  EXPECT_GT(TarnixPortable_DialogsOpened(), 0);
  // What the last input left behind goes the same way as between inputs.
  LLVMFuzzerTestOneInput(nullptr, 0);
  EXPECT_EQ(tarnix::g_state.hostBuffer, nullptr);
  TarnixPortable_SetRegistryPath(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}

}  // namespace
