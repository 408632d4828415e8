// One long-lived helper thread that runs work for the tests (see
// OnHelperThread in harness.h for why threads here never end). Started
// with CreateThread, like the box watcher.
#include <condition_variable>
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

HelperQueue& Queue() {
  static HelperQueue* queue = new HelperQueue;
  return *queue;
}

DWORD WINAPI Serve(LPVOID) {
  HelperQueue& queue = Queue();
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

std::future<void> OnHelperThread(std::function<void()> work) {
  HelperQueue& queue = Queue();
  std::call_once(queue.started, [] {
    HANDLE thread = CreateThread(nullptr, 0, Serve, nullptr, 0, nullptr);
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

}  // namespace winetest
