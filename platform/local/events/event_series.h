#pragma once

// The occurrences of one event in a window: a single event's one occurrence, or a
// repeating event expanded with RRULE, RDATE and EXDATE.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/event_component.h"

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

// It starts before the window ends and ends after the window starts; an occurrence
// without length counts when it starts within the window.
bool overlaps(const OccurrenceTimes& occurrence, const Window& window);

// Start and end of the occurrence of `event` that starts at `wall` in `zone` (its own
// DTSTART for a single event). An all-day occurrence ends one second before the local
// midnight after its last day.
std::optional<OccurrenceTimes> occurrence_at(const EventComponent& event, const icaltimetype& wall,
                                             const IcalZone& zone);

// The latest wall time (as seconds, the wall time read as UTC) at which a rule may
// give a date, from its UNTIL or a COUNT that is plain arithmetic; nothing when it
// may go on for ever. `first` is DTSTART's wall time.
std::optional<double> rule_end_wall(const EventRule& rule, const icaltimetype& first);

// The occurrences of a master event that overlap the window, ascending by start: its
// DTSTART, its rules and RDATEs, less its EXDATEs and the occurrences that the
// `overridden` RECURRENCE-IDs name. A rule's dates come from the steps kept with it
// when they cover the window; else it is walked and its steps kept, and
// `rule_steps_changed` (when given) set.
std::vector<OccurrenceTimes> series_in_window(const EventComponent& master, const Window& window,
                                              const std::vector<IcalTime>& overridden,
                                              bool* rule_steps_changed = nullptr);

}  // namespace platform::local
