#include "platform/local/callbacks/callback_threads.h"

#include <system_error>

namespace platform::local {

CallbackThreads::~CallbackThreads() {
  for (auto& thread : threads_) thread.join();
}

void CallbackThreads::run(std::function<void()> work) {
  auto answer = std::make_shared<std::function<void()>>(std::move(work));
  auto run_once = [answer, signal = signal_] {
    (*answer)();
    // Whatever the callback captured is released here, before the run loop wakes,
    // so a waiter sees a closed channel as soon as it sees the wake-up.
    *answer = nullptr;
    signal->notify();
  };
  try {
    threads_.emplace_back(run_once);
  } catch (const std::system_error&) {
    // No thread to be had: an answer on this thread beats no answer at all.
    run_once();
  }
}

}  // namespace platform::local
