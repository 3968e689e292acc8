#pragma once

// Wakes the main thread's run loop when a store callback has answered, so a wait
// ends as soon as there is news instead of at the end of its slice.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform::local {

class RunLoopSignal {
 public:
  // Called on a callback's thread after the callback ran.
  void notify();
  // Returns once an answer came that no earlier wait consumed, or at the deadline.
  void wait_until(std::chrono::steady_clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t answered_ = 0;
  std::uint64_t consumed_ = 0;
};

}  // namespace platform::local
