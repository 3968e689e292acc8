#pragma once

// A file's reach: the days, on any machine zone, on which its occurrences can lie; an
// event query reads back only the files that reach its window. Days are UTC day
// numbers from 1970; a reach may hold more days than the occurrences', never fewer.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

struct DayRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

// Sorted and apart from each other. Empty: the file has no occurrence at all.
using Reach = std::vector<DayRange>;

// Further than any calendar's dates, either way.
inline constexpr DayRange kEveryDay{-(std::int64_t{1} << 40), std::int64_t{1} << 40};

// The days that [start, end) touches; every day for a window too far to tell.
DayRange days_of(Date start, Date end);

bool reaches(const Reach& reach, DayRange days);

// From the file's lines alone, before libical parses it: the days of its one VEVENT
// when its dates and rules' UNTIL read for certain and it has no others; else every day.
Reach text_reach(std::string_view text);

// From the file's events, with the dates kept with their rules (a rule never
// walked reaches from DTSTART to its end, or on for ever).
Reach events_reach(const FileEvents& events);

}  // namespace platform::local
