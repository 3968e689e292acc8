#pragma once

// Waiting on the main thread for the answer of a platform callback: the channel
// is polled, then the main run loop turns for one slice (and the thread sleeps
// whatever the run loop left of it), until an answer comes, every sender is
// gone, or the deadline on the monotonic clock has passed.

#include <chrono>
#include <utility>
#include <variant>

#include "calendar/access/callback_channel.h"
#include "calendar/command/expected.h"
#include "platform/platform.h"

namespace bridge {

// What a wait that brings no answer says.
struct WaitMessages {
  const char* timed_out;    // the deadline passed
  const char* interrupted;  // the platform let go of the callback without answering
};

// A reminder request's: asking for access and fetching reminders say the same.
inline constexpr WaitMessages kReminderRequestMessages{"提醒事项请求超时", "提醒事项请求中断"};

// The answer, or the message of why none came. `deadline` counts from the call.
template <typename T>
Expected<T> wait_for_answer(platform::Platform& platform, Receiver<T>& answers, std::chrono::seconds deadline,
                            double slice_seconds, const WaitMessages& messages) {
  const auto end = platform.monotonic_now() + deadline;
  const auto slice = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(slice_seconds));
  std::chrono::nanoseconds slice_end = platform.monotonic_now();
  for (;;) {
    // Polled before the first slice: an answer given during the request is taken at once.
    auto received = answers.try_receive();
    if (auto* answer = std::get_if<T>(&received)) return std::move(*answer);
    if (std::holds_alternative<ChannelClosed>(received)) return Failure{messages.interrupted};
    // A run loop with nothing attached returns at once: the rest of its slice is
    // slept, so the wait never spins.
    if (platform.monotonic_now() < slice_end) {
      platform.sleep_until(slice_end);
      continue;
    }
    if (platform.monotonic_now() >= end) return Failure{messages.timed_out};
    slice_end = platform.monotonic_now() + slice;
    platform.run_main_loop_until(
        platform::Date::with_time_interval_since_1970(platform.now().time_interval_since_1970() + slice_seconds));
  }
}

}  // namespace bridge
