#include "platform/local/components_date.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "platform/local/zone_time.h"

namespace platform::local {

namespace {

std::int64_t or_zero(std::int64_t value) { return value == kUndefinedComponent ? 0 : value; }

// Beyond these the instant means nothing to a calendar and the sums could overflow.
bool within_reach(const DateComponents& c) {
  auto near = [](std::int64_t v, std::int64_t limit) { return v == kUndefinedComponent || std::llabs(v) <= limit; };
  return near(c.year, 20'000) && near(c.month, 100'000) && near(c.day, 400'000'000) &&
         near(c.hour, 10'000'000'000) && near(c.minute, 600'000'000'000) && near(c.second, 36'000'000'000'000) &&
         near(c.nanosecond, 4'000'000'000'000'000'000);
}

// Seconds from 1970 of a wall time read as UTC, every field allowed to overflow.
double wall_seconds_as_utc(const DateComponents& c) {
  using namespace std::chrono;
  std::int64_t months_total = c.year * 12 + (c.month - 1);
  std::int64_t year_part = months_total >= 0 ? months_total / 12 : -((-months_total + 11) / 12);
  std::int64_t month_part = months_total - year_part * 12 + 1;
  sys_days first = year_month_day(year(static_cast<int>(year_part)), month(static_cast<unsigned>(month_part)), day(1));
  std::int64_t day_count = first.time_since_epoch().count() + (c.day - 1);
  std::int64_t seconds = day_count * 86400 + or_zero(c.hour) * 3600 + or_zero(c.minute) * 60 + or_zero(c.second);
  return static_cast<double>(seconds) + static_cast<double>(or_zero(c.nanosecond)) / 1e9;
}

}  // namespace

std::optional<Date> date_of_components(const DateComponents& c) {
  if (!c.calendar || *c.calendar != kGregorianCalendar) return std::nullopt;
  if (c.year == kUndefinedComponent || c.month == kUndefinedComponent || c.day == kUndefinedComponent) return std::nullopt;
  if (!within_reach(c)) return std::nullopt;
  if (c.time_zone && c.time_zone->fixed_offset_seconds()) {
    return Date{wall_seconds_as_utc(c) - *c.time_zone->fixed_offset_seconds()};
  }
  // Named and local zones: find the offset that holds at that wall time.
  double as_utc = wall_seconds_as_utc(c);
  double whole = std::floor(as_utc);
  using namespace std::chrono;
  sys_seconds instant{seconds(static_cast<std::int64_t>(whole))};
  sys_days day_start = floor<days>(instant);
  year_month_day ymd(day_start);
  hh_mm_ss<seconds> time(instant - day_start);
  WallTime wall{static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                time.hours().count(), time.minutes().count(), time.seconds().count(), 0};
  auto date = wall_time_to_date(wall, c.time_zone ? std::string_view(c.time_zone->name()) : std::string_view());
  if (!date) return std::nullopt;
  return Date{date->seconds_since_1970 + (as_utc - whole)};
}

}  // namespace platform::local
