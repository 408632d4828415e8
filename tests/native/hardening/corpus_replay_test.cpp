// Every input of the fuzz corpus (the host's usual calling orders and each
// input that once crashed the module) replayed through the fuzz target's own
// harness, so a fault the fuzzer found stays found in every native flavour,
// with or without clang. The harness's findings (a block address the host
// cannot read its block from, buffers the module miscounts, lost memory)
// fail the input by name; a sanitizer report ends the program, naming the
// input it was replaying.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "core/driver_state.h"
#include "harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
// Present only in the sanitizer builds.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

std::filesystem::path CorpusDir() {
  const char* source = std::getenv("TARNIX_SOURCE");
  return std::filesystem::path(source != nullptr ? source : TARNIX_SOURCE_DIR) / "fuzz" / "corpus";
}

std::string g_replaying;

TEST(CorpusReplay, EveryCorpusInputKeepsTheHarnessChecks) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_GE(inputs.size(), 10u) << "seed corpus missing in " << CorpusDir();
  ASSERT_TRUE(std::any_of(inputs.begin(), inputs.end(), [](const auto& p) {
    return p.filename().string().rfind("regress_", 0) == 0;
  })) << "no crash input kept in the corpus";

  std::string pattern = (std::filesystem::temp_directory_path() / "tarnix-replay-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  setenv("TARNIX_FUZZ_WORKDIR", pattern.c_str(), 1);
  if (__sanitizer_set_death_callback != nullptr) {
    __sanitizer_set_death_callback([] {
      std::fprintf(stderr, "corpus replay: sanitizer report on %s\n", g_replaying.c_str());
    });
  }
  LLVMFuzzerInitialize(nullptr, nullptr);
  tarnix::fuzz::CollectFindings(true);
  for (const auto& path : inputs) {
    g_replaying = path.filename().string();
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    ASSERT_FALSE(data.empty()) << g_replaying;
    LLVMFuzzerTestOneInput(data.data(), data.size());
    for (const std::string& finding : tarnix::fuzz::TakeFindings()) {
      ADD_FAILURE() << g_replaying << ": " << finding;
    }
  }
  // The harness really drove the module: the sessions open the dialogs.
  EXPECT_GT(TarnixPortable_DialogsOpened(), 0);
  // What the last input left behind goes the same way as between inputs.
  LLVMFuzzerTestOneInput(nullptr, 0);
  EXPECT_TRUE(tarnix::fuzz::TakeFindings().empty());
  EXPECT_EQ(tarnix::g_state.hostBuffer, nullptr);
  tarnix::fuzz::CollectFindings(false);
  TarnixPortable_SetRegistryScratch(0);
  TarnixPortable_SetRegistryPath(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}

}  // namespace
