#include "host/WorkerThread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/ThreadName.h"

namespace tavolin {

struct WorkerThread::Exit {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::atomic<ThreadId> id{0};
};

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.detach();
}

void WorkerThread::Start(const char* name, std::function<void()> body) {
  exit_ = std::make_shared<Exit>();
  thread_ = std::thread([exit = exit_, name, body = std::move(body)] {
    NameCurrentThread(name);
    exit->id.store(CurrentThreadId(), std::memory_order_relaxed);
    body();
    std::lock_guard lock(exit->mutex);
    exit->done = true;
    exit->ended.notify_all();
  });
}

bool WorkerThread::Running() const { return thread_.joinable(); }

ThreadId WorkerThread::SystemId() const { return exit_ ? exit_->id.load(std::memory_order_relaxed) : 0; }

bool WorkerThread::JoinFor(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock lock(exit_->mutex);
    if (!exit_->ended.wait_for(lock, limit, [&] { return exit_->done; })) return false;
  }
  thread_.join();
  return true;
}

}  // namespace tavolin
