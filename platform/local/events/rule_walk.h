#pragma once

// Walks one RRULE with libical's iterator in bounded work: a rule that can never give
// a date is not walked, and a walk ends after a set number of periods without a date.

#include <libical/ical.h>

#include <optional>

#include "platform/local/events/file_events.h"

namespace platform::local {

// The latest wall seconds a rule may give a date at, by UNTIL (a day either side) or a
// plain COUNT from DTSTART `first`; nothing when it may go on for ever.
std::optional<double> rule_end_wall(const EventRule& rule, const icaltimetype& first);

// The rule's dates in wall seconds (wall times read as UTC) from DTSTART `first`, a wall time
// without zone, or from `from` when later and without COUNT, to one at or past `to` or UNTIL.
RuleSteps walk_rule(const icalrecurrencetype& rule, const icaltimetype& first, double from, double to);

}  // namespace platform::local
