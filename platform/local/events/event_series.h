#pragma once

// The occurrences of one event in a window: a single event's one occurrence, or a
// repeating event expanded with RRULE, RDATE and EXDATE.

#include <optional>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// [start, end) on the platform's clock.
struct Window {
  Date start;
  Date end;
};

struct OccurrenceTimes {
  Date start;
  Date end;
};

// Whether the occurrence overlaps the window; one without length, whether it starts in it.
bool overlaps(const OccurrenceTimes& occurrence, const Window& window);

// The occurrence of `event` that starts at `wall` in `zone`.
std::optional<OccurrenceTimes> occurrence_at(const EventComponent& event, const icaltimetype& wall,
                                             const IcalZone& zone);

// The latest wall seconds at which a rule may give a date, from its UNTIL or a COUNT
// that is plain arithmetic; nothing when it may go on for ever. `first` is DTSTART.
std::optional<double> rule_end_wall(const EventRule& rule, const icaltimetype& first);

// The occurrences of a master event that overlap the window, ascending by start: its
// DTSTART, its rules and RDATEs, less its EXDATEs and the `overridden` RECURRENCE-IDs.
// A rule's kept steps are used when they cover the window; else it is walked, its
// steps kept and `rule_steps_changed` set.
std::vector<OccurrenceTimes> series_in_window(const EventComponent& master, const Window& window,
                                              const std::vector<IcalTime>& overridden, bool& rule_steps_changed);

}  // namespace platform::local
