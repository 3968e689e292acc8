#include "platform/local/time/components_date.h"

#include "platform/local/time/zone_time.h"

namespace platform::local {

namespace {

std::int64_t or_zero(std::int64_t value) { return value == kUndefinedComponent ? 0 : value; }

}  // namespace

std::optional<Date> date_of_components(const DateComponents& c) {
  if (!c.calendar || *c.calendar != kGregorianCalendar) return std::nullopt;
  if (c.year == kUndefinedComponent || c.month == kUndefinedComponent || c.day == kUndefinedComponent) return std::nullopt;
  WallTime wall{c.year, c.month, c.day, or_zero(c.hour), or_zero(c.minute), or_zero(c.second), 0};
  double fraction = static_cast<double>(or_zero(c.nanosecond)) / 1e9;
  if (c.time_zone && c.time_zone->fixed_offset_seconds()) {
    // A fixed offset needs no zone rules: the wall time less the offset.
    auto as_utc = wall_time_as_utc_seconds(wall);
    if (!as_utc) return std::nullopt;
    return Date{*as_utc - *c.time_zone->fixed_offset_seconds() + fraction};
  }
  auto date = wall_time_to_date(wall, c.time_zone ? std::string_view(c.time_zone->name()) : std::string_view());
  if (!date) return std::nullopt;
  return Date{date->seconds_since_1970 + fraction};
}

}  // namespace platform::local
