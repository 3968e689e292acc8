#pragma once

// The machine's time zones and calendar through ICU: what the local store needs to
// turn iCalendar times into instants and instants into the user's calendar fields.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/date.h"

namespace platform::local {

// Wall-clock fields of a Gregorian date and time.
struct WallTime {
  std::int64_t year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  std::int64_t nanosecond = 0;
};

// The process's time zone (TZ, else the system's), as a tz database name.
std::string local_zone_name();

// Offset from GMT in seconds of a tz database zone at an instant; the local zone's
// offset for an empty name. Unknown names count as GMT.
int zone_offset_at(std::string_view zone_name, Date instant);

// The instant of a Gregorian wall time in a tz database zone (the local one for an
// empty name); a skipped or repeated wall time resolves as the platform does.
std::optional<Date> wall_time_to_date(const WallTime& wall, std::string_view zone_name);

// The tz database zone a TZID names: the name itself when the tz database knows it,
// else the zone ICU maps a Windows zone name to (as Outlook and Exchange write them,
// "W. Europe Standard Time"), read past stray quotes, spaces and trailing punctuation.
// Nothing when it is neither.
std::optional<std::string> tz_name_for_tzid(std::string_view tzid);

// Year to second of an instant in the Gregorian calendar, whatever the locale, and
// the local time zone.
CalendarFields current_calendar_fields(Date instant);

// Seconds since 1970 of a Gregorian wall time read as if it were UTC; fields out of
// their range roll over (month 13 is January of the next year). Nothing when the
// result lies beyond any calendar's reach (about 20,000 years from now).
std::optional<double> wall_time_as_utc_seconds(const WallTime& wall);

// The Gregorian wall time in UTC of an instant, to the whole second (rounding down).
WallTime utc_wall_time(Date instant);

// Forgets the local zone and the current calendar, so that the next call reads TZ and
// the locale variables again. The values are read once per process otherwise.
void reload_machine_settings();

}  // namespace platform::local
