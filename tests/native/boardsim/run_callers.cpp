// Concurrent callers of the native flavour: plain threads, joined.
#include <thread>
#include <vector>

#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {

void RunCallers(int count, const std::function<void(int)>& caller) {
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) threads.emplace_back(caller, i);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace boardsim_test
