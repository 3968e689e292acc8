#include "platform/local/time/wall_clock.h"

#include <chrono>

namespace platform::local {

long long wall_clock_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Date wall_clock_date() { return Date{static_cast<double>(wall_clock_ns()) / 1e9}; }

}  // namespace platform::local
