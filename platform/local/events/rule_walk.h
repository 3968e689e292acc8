#pragma once

// Walks one RRULE with libical's iterator in bounded work: a rule that can never give
// a date is not walked, and a walk ends after a set number of periods without a date.

#include <libical/ical.h>

#include <cstddef>
#include <optional>

#include "platform/local/events/file_events.h"

namespace platform::local {

// More dates than this of one walk are not kept with the rule.
inline constexpr std::size_t kMostKeptSteps = 4096;

// Wall seconds (wall times read as UTC) the walk covers: from DTSTART (or `from`, when
// later and without COUNT) to a date at or past `to`, or `needed_to` once more dates
// than are kept were found.
struct WalkSpan {
  double from = 0;
  double to = 0;
  double needed_to = 0;
};

// The latest wall seconds a rule may give a date at, by UNTIL (a day either side) or a
// plain COUNT from DTSTART `first`; nothing when it may go on for ever.
std::optional<double> rule_end_wall(const EventRule& rule, const icaltimetype& first);

// `first` is DTSTART's wall time without zone; UNTIL ends the walk two days past it.
RuleSteps walk_rule(const icalrecurrencetype& rule, const icaltimetype& first, const WalkSpan& span);

}  // namespace platform::local
