#pragma once

// The date texts of events, always in the machine's current calendar and local
// time zone, never in the event's own zone.

#include <string>

#include "platform/platform.h"

namespace bridge {

// Year (at least four digits), month and day, e.g. 2025-03-09.
std::string format_local_date(platform::Platform& platform, platform::Date date);

// The local date, "T", hh:mm:ss and the local zone's offset at that instant, e.g.
// 2025-03-09T14:05:00+08:00. `local_zone` is the platform's local time zone.
std::string format_local_datetime(platform::Platform& platform, const platform::TimeZone& local_zone,
                                  platform::Date date);

}  // namespace bridge
