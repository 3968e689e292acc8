#pragma once

// The occurrences of stored events in a window of time: what eventsMatchingPredicate:
// answers for the chosen collections.

#include <libical/ical.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"
#include "platform/date.h"
#include "platform/event.h"
#include "platform/local/events/event_series.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// The event an occurrence of `event` shows, named by its item's identifier.
platform::Event event_of(const EventComponent& event, const std::string& identifier,
                         const platform::CalendarRef& calendar, bool has_recurrence_rules,
                         const OccurrenceTimes& times);

// One parsed event file: a VCALENDAR holding the master VEVENT, its overrides
// (same UID, with RECURRENCE-ID) and the VTIMEZONEs they use; or a bare VEVENT. A
// file holding several items (UIDs) shows each as `identifier` + "/" + its UID.
struct EventItem {
  const icalcomponent* vcalendar;
  std::string identifier;
  platform::CalendarRef calendar;
  std::string_view text = {};  // the file's text; empty when only libical's reading is at hand
};

// One file's events as the index or the file gave them.
struct EventSource {
  FileEventsRef events;
  std::string identifier;  // the file's: "<folder>/<name>"
  platform::CalendarRef calendar;
};

// Every occurrence of the files' events that overlaps [start, end), the window cut to
// its first 4*365 days, in ascending order of start, then of identifier; only the
// first `limit` of them.
std::vector<platform::Event> events_in_window(const std::vector<EventSource>& sources, platform::Date start,
                                              platform::Date end, std::size_t limit = SIZE_MAX);
// The same over parsed files.
std::vector<platform::Event> events_in_window(const std::vector<EventItem>& items, platform::Date start,
                                              platform::Date end);

}  // namespace platform::local
