#pragma once

// The occurrences of one event in a window: its DTSTART, RRULEs and RDATEs less EXDATEs and overrides.

#include <optional>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// [start, end) on the platform's clock: a window, or an occurrence's times.
struct TimeSpan {
  Date start;
  Date end;
};

// Whether the occurrence overlaps the window; one without length, whether it starts in it.
bool overlaps(const TimeSpan& occurrence, const TimeSpan& window);

// The occurrence of `event` that starts at `wall` in `zone`.
std::optional<TimeSpan> occurrence_at(const EventComponent& event, const icaltimetype& wall, const IcalZone& zone);

// The occurrences of a master event that overlap the window, ascending by start. A
// rule walked anew keeps its steps and sets `rule_steps_changed`.
std::vector<TimeSpan> series_in_window(const EventComponent& master, const TimeSpan& window,
                                       const std::vector<const OverrideEvent*>& overrides, bool& rule_steps_changed);

}  // namespace platform::local
