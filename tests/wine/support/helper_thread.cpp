// Long-lived helper threads that run work for the tests (see
// OnHelperThread in harness.h for why threads here never end). Started
// with CreateThread, like the box watcher.
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "wine/support/harness.h"

namespace winetest {
namespace {

// Never destroyed: the thread outlives main().
struct HelperQueue {
  std::mutex lock;
  std::condition_variable ready;
  std::deque<std::packaged_task<void()>> work;
  std::once_flag started;
};

HelperQueue& Queue(int helper) {
  static HelperQueue* queues = new HelperQueue[kHelperThreads];
  if (helper < 0 || helper >= kHelperThreads) throw std::out_of_range("no such helper thread");
  return queues[helper];
}

DWORD WINAPI Serve(LPVOID param) {
  HelperQueue& queue = *static_cast<HelperQueue*>(param);
  for (;;) {
    std::packaged_task<void()> task;
    {
      std::unique_lock<std::mutex> lock(queue.lock);
      queue.ready.wait(lock, [&] { return !queue.work.empty(); });
      task = std::move(queue.work.front());
      queue.work.pop_front();
    }
    task();
  }
}

}  // namespace

std::future<void> OnHelperThread(std::function<void()> work, int helper) {
  HelperQueue& queue = Queue(helper);
  std::call_once(queue.started, [&queue] {
    HANDLE thread = CreateThread(nullptr, 0, Serve, &queue, 0, nullptr);
    if (thread == nullptr) throw std::runtime_error("CreateThread failed");
    CloseHandle(thread);
  });
  std::packaged_task<void()> task(std::move(work));
  std::future<void> done = task.get_future();
  {
    std::lock_guard<std::mutex> lock(queue.lock);
    queue.work.push_back(std::move(task));
  }
  queue.ready.notify_one();
  return done;
}

bool Wine32UnderQemu() {
  const char* wine32 = std::getenv("TARNIX_WINE32");
  return sizeof(void*) == 4 && wine32 != nullptr && std::strcmp(wine32, "emulated") == 0;
}

}  // namespace winetest
