#pragma once

// Parsed iCalendar text for the event query tests.

#include <libical/ical.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/local/events/event_occurrences.h"
#include "platform/local/ical/defined_zone.h"
#include "platform/local/ical/ical_handles.h"

namespace platform::local::testing {

using ParsedIcs = IcalComponentPtr;

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

// Event files, read as the store reads them at each query.
class EventFiles {
 public:
  void add(const std::string& identifier, const std::string& text, platform::CalendarRef calendar = nullptr) {
    files_.push_back(File{parse_ics(text), text, identifier, calendar ? calendar : calendar_});
  }
  std::vector<platform::Event> in_window(double start, double end) const {
    std::vector<EventSource> sources;
    for (const File& file : files_) {
      auto events = std::make_shared<FileEvents>(read_file_events(file.parsed.get(), file.text));
      sources.push_back(EventSource{std::move(events), file.identifier, file.calendar});
    }
    return events_in_window(sources, platform::Date{start}, platform::Date{end});
  }

 private:
  struct File {
    ParsedIcs parsed;
    std::string text;
    std::string identifier;
    platform::CalendarRef calendar;
  };
  platform::CalendarRef calendar_ = test_calendar();
  std::vector<File> files_;
};

// The New York rules of 2007 on, under a name the tz database does not know.
inline const char* const kCustomEasternZone =
    "BEGIN:VTIMEZONE\r\nTZID:Custom/Eastern\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// Central European rules as Outlook writes them: a Windows name, phases from 1601.
inline const char* const kWindowsBerlinZone =
    "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// A copy of a known zone that disagrees with the tz database, and a definition that
// no reader can use.
inline const char* const kMisdefinedZones =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
    "BEGIN:VTIMEZONE\r\nTZID:Custom/Runaway\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nRRULE:FREQ=SECONDLY\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// Central European time as khal writes it: each observance's onsets as DTSTART and
// RDATEs, for the years its events need (here daylight time of 2014 and the two
// changes back to standard time after it).
inline const char* const kKhalBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin (khal)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20141026T030000\r\nRDATE:20151025T030000\r\nTZNAME:CET\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20140330T020000\r\nTZNAME:CEST\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// Eastern time as Outlook writes it with its history: the rules before 2007 from 1671
// and those of 2007 on, none with an end, so that they overlap.
inline const char* const kOutlookEastern =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time (history)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16711025T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16710405T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

}  // namespace platform::local::testing

namespace platform::local {

// The zone a VTIMEZONE's text defines, as define_zone reads the component.
inline std::shared_ptr<const DefinedZone> define_zone(std::string_view vtimezone_text) {
  return define_zone(testing::parse_ics(std::string(vtimezone_text)).get());
}

}  // namespace platform::local
