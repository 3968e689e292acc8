#pragma once

// A cheap look at an event file's lines that tells, before libical parses the
// whole file, whether none of its occurrences can come near a window of time.

#include <cstdint>
#include <string_view>

#include "platform/date.h"

namespace platform::local {

// What the look at a file's lines found: the days (UTC day numbers, counted from
// 1970) its one event can touch, the last one the largest number for a rule without
// UNTIL; or that it may reach any window.
struct EventReach {
  bool bounded = false;
  std::int64_t first_day = 0;
  std::int64_t last_day = 0;
  friend bool operator==(const EventReach&, const EventReach&) = default;
};

// Bounded only for one VEVENT with no RDATE, EXRULE or RECURRENCE-ID whose start
// and end dates (and its RRULEs' UNTIL, where given) read for certain.
EventReach event_reach(std::string_view text);

// An instant before which, from `from` on, a file of this reach surely has no
// occurrence on any machine zone: `from` itself when it cannot tell, infinity when
// it has none from then on.
double reach_quiet_until(const EventReach& reach, Date from);

// True only when a bounded reach lies days away from [start, end) (so no time zone
// can bring it into the window).
bool reach_surely_outside(const EventReach& reach, Date start, Date end);

// True only for a file that surely has no occurrence in [start, end): a bounded
// reach outside it. Whatever it cannot read for certain counts as possibly inside.
bool event_surely_outside(std::string_view text, Date start, Date end);

}  // namespace platform::local
