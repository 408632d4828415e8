// Concurrent callers under Wine: the harness's helper threads, which never
// end (see OnHelperThread), except where Wine runs 32-bit code on qemu-user.
#include <future>
#include <stdexcept>
#include <vector>

#include "native/boardsim/sim_fixture.h"
#include "wine/support/harness.h"

namespace boardsim_test {

void RunCallers(int count, const std::function<void(int)>& caller) {
  // Even threads that never end crash there once they call in together;
  // main.cpp leaves the callers' tests out of such a run.
  if (winetest::Wine32UnderQemu())
    throw std::logic_error("no callers' threads on 32-bit Wine on qemu-user");
  if (count > winetest::kHelperThreads) throw std::out_of_range("more callers than helper threads");
  std::vector<std::future<void>> done;
  for (int i = 0; i < count; ++i) {
    done.push_back(winetest::OnHelperThread([&caller, i] { caller(i); }, i));
  }
  for (std::future<void>& each : done) each.get();
}

}  // namespace boardsim_test
