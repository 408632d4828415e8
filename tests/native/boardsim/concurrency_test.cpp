// Several threads calling at once: one lock keeps every answer whole.
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using ConcurrencyTest = SimTest;

TEST_F(ConcurrencyTest, ConcurrentCallersSeeAConsistentLibrary) {
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimUnthrottled), 0);
  StartScan(first_, {0, 1, 2}, 1000);
  ASSERT_EQ(VELQSIM_ClearLog(), 0);
  std::vector<int64_t> totals(4, 0);
  RunCallers(4, [&](int t) {
    int32_t buffer[64];
    for (int i = 0; i < 500; ++i) {
      int32_t count = 64;
      totals[static_cast<size_t>(t)] += VELQ_ADGetData(first_, buffer, &count);
      VELQ_Query(second_, 109, 0);
      VELQ_DioWrite(second_, t % 2, i);
    }
  });
  for (int64_t total : totals) EXPECT_EQ(total, 500 * 64);
  EXPECT_EQ(VELQSIM_CallCount(), 4 * 500 * 3);
}

}  // namespace
}  // namespace boardsim_test
