#pragma once

#include <optional>

#include "platform/date.h"

namespace platform::local {

// dateFromComponents: for Gregorian components in their own time zone (the local
// one when they have none). Out-of-range fields roll over as a lenient calendar
// does; nothing without a Gregorian calendar, a year, a month or a day.
std::optional<Date> date_of_components(const DateComponents& components);

}  // namespace platform::local
