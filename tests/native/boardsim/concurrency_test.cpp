// Several threads calling at once: one lock keeps every answer whole.
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using ConcurrencyTest = SimTest;

// Three sequence inputs stepping 3 uV a scan, each window 1 uV narrower than
// the last: channel c reads -10 V + 3 x scan + c, so the scan of channels
// 0, 1, 2 is a stream whose sample n reads exactly -10 V + n uV and every
// sample says where it stands.
constexpr char kCountingBoards[] = R"({"boards": [
  {"serial": 1, "signals": [
    {"channel": 0, "kind": "sequence", "step": 3},
    {"channel": 1, "kind": "sequence", "step": 3, "amplitude": 9999999},
    {"channel": 2, "kind": "sequence", "step": 3, "amplitude": 9999998}]},
  {"serial": 2}]})";
constexpr int32_t kCounting = 1;
constexpr int32_t kOther = 2;
constexpr int32_t kStreamStart = -10000000;

constexpr int kCallers = 4;
constexpr int kCalls = 500;
constexpr int32_t kBlock = 64;

struct Reader {
  std::vector<int32_t> samples;  // what this caller received, in its order
  int disagreements = 0;         // calls whose answer and written-back count differ
};

// The first place where one caller's samples are not whole blocks of
// consecutive stream samples, each block later in the stream than the last
// ("" when there is none).
std::string FirstBreak(const std::vector<int32_t>& samples) {
  for (size_t i = 1; i < samples.size(); ++i) {
    const bool blockStart = i % kBlock == 0;
    const int64_t gap = int64_t{samples[i]} - samples[i - 1];
    if (blockStart ? gap <= 0 : gap != 1) {
      return "sample " + std::to_string(i) + " reads " + std::to_string(samples[i]) + " after " +
             std::to_string(samples[i - 1]);
    }
  }
  return "";
}

TEST_F(ConcurrencyTest, ConcurrentCallersSeeAConsistentLibrary) {
  ASSERT_EQ(VELQSIM_LoadProfileText(kCountingBoards), 0);
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimUnthrottled), 0);
  StartScan(kCounting, {0, 1, 2}, 1000);
  ASSERT_EQ(VELQSIM_ClearLog(), 0);
  std::vector<Reader> readers(kCallers);
  RunCallers(kCallers, [&](int t) {
    Reader& reader = readers[static_cast<size_t>(t)];
    int32_t buffer[kBlock];
    for (int i = 0; i < kCalls; ++i) {
      int32_t count = kBlock;
      const int32_t stored = VELQ_ADGetData(kCounting, buffer, &count);
      if (stored != count) ++reader.disagreements;
      reader.samples.insert(reader.samples.end(), buffer, buffer + std::clamp(stored, 0, kBlock));
      VELQ_Query(kOther, 109, 0);
      VELQ_DioWrite(kOther, t % 2, i);
    }
  });
  std::vector<int32_t> all;
  for (const Reader& reader : readers) {
    EXPECT_EQ(reader.samples.size(), size_t{kCalls} * kBlock);
    EXPECT_EQ(reader.disagreements, 0);
    EXPECT_EQ(FirstBreak(reader.samples), "");
    all.insert(all.end(), reader.samples.begin(), reader.samples.end());
  }
  // Together the callers hold the stream's start, each sample exactly once.
  std::sort(all.begin(), all.end());
  size_t misplaced = 0;
  while (misplaced < all.size() &&
         all[misplaced] == kStreamStart + static_cast<int32_t>(misplaced)) {
    ++misplaced;
  }
  EXPECT_EQ(misplaced, all.size()) << "sorted, sample " << misplaced << " reads "
                                   << (misplaced < all.size() ? all[misplaced] : 0);
  EXPECT_EQ(VELQSIM_CallCount(), kCallers * kCalls * 3);
}

}  // namespace
}  // namespace boardsim_test
