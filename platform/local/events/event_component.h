#pragma once

// One VEVENT of an event file, with everything the occurrence query needs of it.

#include <libical/ical.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/text_properties.h"

namespace platform::local {

// How long each occurrence lasts: whole days on the wall clock (DURATION's days and
// weeks, or an all-day event's span), then exact seconds.
struct EventLength {
  std::int64_t nominal_days = 0;
  double exact_seconds = 0;
};

// An RDATE: a start, and for a PERIOD value the occurrence's own length in seconds.
struct RecurrenceDate {
  IcalTime start;
  std::optional<double> period_seconds;
};

struct EventComponent {
  std::optional<std::string> uid;
  std::optional<std::string> summary;
  std::optional<std::string> location;
  std::optional<std::string> description;
  IcalTime start;
  EventLength length;
  std::optional<IcalTime> recurrence_id;
  bool has_rrule = false;  // an RRULE property, readable or not
  std::vector<icalrecurrencetype> rules;
  std::vector<RecurrenceDate> rdates;
  std::vector<IcalTime> exdates;

  bool is_all_day() const { return start.is_date(); }
};

// Reads a VEVENT (of `vcalendar`, whose VTIMEZONEs its TZIDs may name; null for a bare
// VEVENT). Nothing when it has no usable DTSTART. The VEVENTs of one file may share
// `zones`, so that each VTIMEZONE is read once.
// `texts`, when given, are the component's SUMMARY, LOCATION and DESCRIPTION as the
// file wrote them, taken over libical's trimmed ones.
std::optional<EventComponent> read_event_component(icalcomponent* vevent, icalcomponent* vcalendar,
                                                   FileZones* zones = nullptr, const EventTexts* texts = nullptr);

}  // namespace platform::local
