// Second threads for the tests, started with CreateThread.
//
// Under Wine on qemu-user, a std::thread (winpthreads) that ends was seen to
// crash the process a little later; threads started with CreateThread end
// cleanly. Test programs therefore start their threads here.
#include <exception>
#include <utility>

#include "wine/support/harness.h"

namespace winetest {
namespace {

struct HelperWork {
  std::function<void()> work;
  std::promise<void> done;
};

DWORD WINAPI RunHelperWork(LPVOID parameter) {
  auto* item = static_cast<HelperWork*>(parameter);
  try {
    item->work();
    item->done.set_value();
  } catch (...) {
    item->done.set_exception(std::current_exception());
  }
  delete item;
  return 0;
}

}  // namespace

std::future<void> OnHelperThread(std::function<void()> work) {
  auto* item = new HelperWork{std::move(work), {}};
  std::future<void> done = item->done.get_future();
  HANDLE thread = CreateThread(nullptr, 0, RunHelperWork, item, 0, nullptr);
  if (thread == nullptr) {
    delete item;
    throw std::runtime_error("CreateThread failed, error " + std::to_string(GetLastError()));
  }
  CloseHandle(thread);
  return done;
}

}  // namespace winetest
