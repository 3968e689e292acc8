#pragma once

// Parsed iCalendar text for the event query tests.

#include <libical/ical.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/local/event_occurrences.h"

namespace platform::local::testing {

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ParsedIcs = std::unique_ptr<icalcomponent, ComponentFree>;

inline ParsedIcs parse_ics(const std::string& text) { return ParsedIcs(icalparser_parse_string(text.c_str())); }

// A VCALENDAR around the given components (VEVENTs and VTIMEZONEs, as text).
inline std::string vcalendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

inline platform::CalendarRef test_calendar(std::string id = "home") {
  auto calendar = std::make_shared<platform::Calendar>();
  calendar->identifier = id;
  calendar->title = "Home";
  return calendar;
}

// Items over parsed files; keeps the parsed trees alive as long as the items.
class EventFiles {
 public:
  void add(const std::string& identifier, const std::string& text, platform::CalendarRef calendar = nullptr) {
    parsed_.push_back(parse_ics(text));
    items_.push_back(EventItem{parsed_.back().get(), identifier, calendar ? calendar : calendar_});
  }
  const std::vector<EventItem>& items() const { return items_; }
  std::vector<platform::Event> in_window(double start, double end) const {
    return events_in_window(items_, platform::Date{start}, platform::Date{end});
  }

 private:
  platform::CalendarRef calendar_ = test_calendar();
  std::vector<ParsedIcs> parsed_;
  std::vector<EventItem> items_;
};

// The New York rules of 2007 on, under a name the tz database does not know.
inline const char* const kCustomEasternZone =
    "BEGIN:VTIMEZONE\r\nTZID:Custom/Eastern\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

}  // namespace platform::local::testing
