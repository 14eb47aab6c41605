#pragma once
// A std::thread that can be waited for with a time-out, as shut-down needs.

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/ThreadTimes.h"

namespace tavolin {

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `body` on a new thread named `name` (as top -H and debuggers show it).
  void Start(const char* name, std::function<void()> body);
  bool Running() const;
  std::thread& Native() { return thread_; }
  // The kernel's id of the running thread (for its CPU times); 0 before it
  // has started running.
  ThreadId SystemId() const;
  // Joins when the thread ends within `limit`; false when it is still running
  // (it is then left to end with the process).
  bool JoinFor(std::chrono::milliseconds limit);

 private:
  struct Exit;
  std::thread thread_;
  std::shared_ptr<Exit> exit_;
};

}  // namespace tavolin
