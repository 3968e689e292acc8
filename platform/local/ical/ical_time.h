#pragma once

// iCalendar times on the platform's clock: what a DTSTART, DTEND, RDATE, EXDATE or
// RECURRENCE-ID value means as an instant.

#include <libical/ical.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/date.h"
#include "platform/local/ical/defined_zone.h"
#include "platform/local/time/zone_time.h"

namespace platform::local {

// The frame a value's wall time is read in.
struct IcalZone {
  enum class Kind { floating, utc, zoned };
  Kind kind = Kind::floating;
  // zoned: the zone's name: the tz database zone the TZID resolved to, else the
  // TZID itself, which then names `definition`.
  std::string tzid;
  // zoned: the file's VTIMEZONE of the TZID, when the tz database has no zone for it.
  std::shared_ptr<const DefinedZone> definition;
};

// The VTIMEZONEs of one file that its values have named so far: each is read once
// however many values name it.
class FileZones {
 public:
  explicit FileZones(icalcomponent* vcalendar) : vcalendar_(vcalendar) {}
  std::shared_ptr<const DefinedZone> definition(const char* tzid);

 private:
  icalcomponent* vcalendar_;
  std::vector<std::pair<std::string, std::shared_ptr<const DefinedZone>>> read_;
};

// A date or date-time value with its frame. `value.zone` is never used.
struct IcalTime {
  icaltimetype value;
  IcalZone zone;
  bool is_date() const { return value.is_date != 0; }
};

// The frame of a property's time value: UTC for Z; for a TZID, the tz database zone
// it names (a tz database name, or a Windows zone name), else the file's VTIMEZONE of
// that TZID, else floating, as without a TZID.
IcalZone ical_zone_of(icalproperty* property, const icaltimetype& value, FileZones& zones);
IcalZone ical_zone_of(icalproperty* property, const icaltimetype& value, icalcomponent* vcalendar);

// Whether the fields make a date (and a time of day) at all.
bool is_usable_time(const icaltimetype& value);

WallTime wall_of(const icaltimetype& value);
icaltimetype ical_wall(const WallTime& wall, bool is_date);
// Whole days since 1970-01-01 of the value's date.
std::int64_t day_number(const icaltimetype& value);
// The value's wall time read as UTC, in seconds since 1970.
double wall_seconds(const icaltimetype& value);
// The wall time at such seconds.
icaltimetype wall_at(double seconds, bool is_date);

// The instant of a wall time in a frame. Dates and floating times are in the local
// zone; a date is its midnight. Skipped and repeated wall times resolve as the platform
// does (forward by the gap; the first of the two).
std::optional<Date> instant_of(const icaltimetype& value, const IcalZone& zone);

}  // namespace platform::local
