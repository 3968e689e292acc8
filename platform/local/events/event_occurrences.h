#pragma once

// Stored events as the platform shows them: the occurrences in a window of time
// (what eventsMatchingPredicate: answers) and one item's event by identifier.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/calendar.h"
#include "platform/date.h"
#include "platform/event.h"
#include "platform/local/events/file_events.h"
#include "platform/local/ical/parsed_item.h"

namespace platform::local {

// One file's events as the index or the file gave them.
struct EventSource {
  FileEventsRef events;
  std::string identifier;  // the file's: "<folder>/<name>"
  platform::CalendarRef calendar;
};

// The first `limit` occurrences of the files' events that overlap [start, end), cut
// to its first 4*365 days, in ascending order of start, then of identifier.
std::vector<platform::Event> events_in_window(const std::vector<EventSource>& sources, platform::Date start,
                                              platform::Date end, std::size_t limit = SIZE_MAX);

// One VEVENT item's event: its main component's own occurrence, if it has one.
std::optional<platform::Event> stored_event(const ParsedItem& item, const ItemPart& part,
                                            platform::CalendarRef calendar);

}  // namespace platform::local
