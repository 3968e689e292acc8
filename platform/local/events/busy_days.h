#pragma once

// What the dates kept with a file's rules tell of the days its occurrences can
// touch, so that an event query passes over a repeating event far from its window
// as it does a single one, without reading the file's events back. Worked out from
// wall times alone, each widened by more than any zone's offset unless it is a UTC
// instant: it holds on every machine zone.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// For a window whose days lie within first_day..last_day (UTC day numbers, counted
// from 1970), every occurrence of the file touches only days of `busy` (sorted,
// apart from each other). EXDATEs, COUNT and UNTIL are not looked at: the busy days
// are more than the occurrences' own, never fewer.
struct BusyDays {
  std::int64_t first_day = 0;
  std::int64_t last_day = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> busy;
};

// Nothing for a file without a rule, or with a rule that could not be read.
std::optional<BusyDays> busy_days_of(const FileEvents& events);

// True only when [start, end) lies within the days the busy days speak for and no
// busy day comes near it.
bool busy_days_rule_out(const BusyDays& days, Date start, Date end);

}  // namespace platform::local
