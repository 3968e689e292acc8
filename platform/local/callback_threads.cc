#include "platform/local/callback_threads.h"

namespace platform::local {

CallbackThreads::~CallbackThreads() {
  for (auto& thread : threads_) thread.join();
}

void CallbackThreads::run(std::function<void()> work) {
  threads_.emplace_back([work = std::move(work), signal = signal_]() mutable {
    work();
    // Whatever the callback captured is released here, before the run loop wakes,
    // so a waiter sees a closed channel as soon as it sees the wake-up.
    work = nullptr;
    signal->notify();
  });
}

}  // namespace platform::local
