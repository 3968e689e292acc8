#pragma once

// A cheap look at an event file's lines that tells, before libical parses the
// whole file, whether none of its occurrences can come near a window of time.

#include <string_view>

#include "platform/date.h"

namespace platform::local {

// True only for a file that surely has no occurrence in [start, end): one VEVENT
// with no RRULE, RDATE, EXRULE or RECURRENCE-ID, whose start and end dates lie
// days away from the window (so no time zone can bring them into it). Whatever
// it cannot read for certain counts as possibly inside.
bool event_surely_outside(std::string_view text, Date start, Date end);

}  // namespace platform::local
