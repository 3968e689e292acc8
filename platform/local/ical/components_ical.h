#pragma once

// A reminder's DUE and DTSTART and the platform's date components, both ways.

#include <libical/ical.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/date.h"
#include "platform/local/ical/ical_handles.h"

namespace platform::local {

// The components of a DUE or DTSTART property: year to day for a date; year to
// second for a date-time, with UTC for a "Z" time; for a TZID, the tz database zone
// it resolves to (a fixed offset for "GMT+hhmm"), else the fixed offset the file's
// VTIMEZONE of that TZID has at that time, else none, as when floating. Always
// Gregorian.
std::optional<DateComponents> components_of_property(icalproperty* property, icalcomponent* vcalendar);

// The zone of a date-time property as a time zone; nothing for dates and floating times.
std::optional<TimeZone> zone_of_property(icalproperty* property, icalcomponent* vcalendar);

// Whether components name the same date, or the same wall time at the same instant
// (so also when one has the zone and the other its offset at that moment): what a
// save may keep as the file wrote it.
bool names_same_time(const DateComponents& a, const DateComponents& b);

// A fixed-offset zone that a written time names, with the VTIMEZONE it needs.
struct FixedZoneDefinition {
  std::string tzid;
  std::string vtimezone;  // the VTIMEZONE component as iCalendar text
};

struct WrittenTime {
  IcalPropertyPtr property;
  std::optional<FixedZoneDefinition> fixed_zone;
};

// Whether a time in the year can be written into a file and read back (years
// 0 to 3000): the one bound of every date and time the store writes.
bool is_writable_year(std::int64_t year);

// The property (ICAL_DUE_PROPERTY or ICAL_DTSTART_PROPERTY) for the components.
// Nothing when they name no valid date and time of day.
std::optional<WrittenTime> property_for_components(icalproperty_kind kind, const DateComponents& components);

}  // namespace platform::local
