#include "platform/local/callbacks/run_loop_signal.h"

namespace platform::local {

void RunLoopSignal::notify() {
  {
    std::lock_guard lock(mutex_);
    ++answered_;
  }
  changed_.notify_all();
}

void RunLoopSignal::wait_until(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, deadline, [&] { return answered_ != consumed_; });
  consumed_ = answered_;
}

}  // namespace platform::local
