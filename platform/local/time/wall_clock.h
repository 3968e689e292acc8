#pragma once

#include "platform/date.h"

namespace platform::local {

// The machine's wall clock, read here only: in nanoseconds since 1970, the unit
// of file times, and as a date.
long long wall_clock_ns();
Date wall_clock_date();

}  // namespace platform::local
