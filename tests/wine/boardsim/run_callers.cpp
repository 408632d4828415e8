// Concurrent callers under Wine: the harness's helper threads, which never
// end (see OnHelperThread), except where Wine runs 32-bit code on qemu-user.
#include <future>
#include <stdexcept>
#include <vector>

#include "native/boardsim/sim_fixture.h"
#include "wine/support/harness.h"

namespace boardsim_test {

bool RunCallers(int count, const std::function<void(int)>& caller) {
  // Even threads that never end crash there once they call in together.
  if (winetest::Wine32UnderQemu()) return false;
  if (count > winetest::kHelperThreads) throw std::out_of_range("more callers than helper threads");
  std::vector<std::future<void>> done;
  for (int i = 0; i < count; ++i) {
    done.push_back(winetest::OnHelperThread([&caller, i] { caller(i); }, i));
  }
  for (std::future<void>& each : done) each.get();
  return true;
}

}  // namespace boardsim_test
