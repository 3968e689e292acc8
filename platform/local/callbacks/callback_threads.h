#pragma once

// Runs store callbacks on threads of their own, as the platform answers on a
// thread other than the caller's. Every thread is joined when this goes away.

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/local/callbacks/run_loop_signal.h"

namespace platform::local {

class CallbackThreads {
 public:
  explicit CallbackThreads(std::shared_ptr<RunLoopSignal> signal) : signal_(std::move(signal)) {}
  ~CallbackThreads();
  CallbackThreads(const CallbackThreads&) = delete;
  CallbackThreads& operator=(const CallbackThreads&) = delete;

  // Runs `work` on a new thread (which also destroys it), then wakes the run loop.
  void run(std::function<void()> work);

 private:
  std::shared_ptr<RunLoopSignal> signal_;
  std::vector<std::thread> threads_;
};

}  // namespace platform::local
