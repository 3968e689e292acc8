#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "calendar/command/rfc3339.h"
#include "calendar/reminders/due_text.h"

namespace bridge::reminders {
namespace {

using platform::DateComponents;
using platform::kUndefinedComponent;

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr int kSecondsPerDay = 86'400;

std::int64_t or_zero(std::int64_t value) { return value == kUndefinedComponent ? 0 : value; }

// Year zero-padded to four digits (sign first for years before 0), month and day to two.
std::string date_text(const DateComponents& c) {
  char text[80];
  const char* sign = c.year < 0 ? "-" : "";
  unsigned long long magnitude =
      c.year < 0 ? 0ull - static_cast<unsigned long long>(c.year) : static_cast<unsigned long long>(c.year);
  int length = std::snprintf(text, sizeof text, "%s%04llu-%02lld-%02lld", sign, magnitude,
                             static_cast<long long>(c.month), static_cast<long long>(c.day));
  return std::string(text, static_cast<std::size_t>(length));
}

// A date the RFC 3339 grammar can write: a real Gregorian day in the years 0000-9999.
bool is_writable_date(const DateComponents& c) {
  if (c.year < 0 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31) return false;
  std::chrono::year_month_day date{std::chrono::year{static_cast<int>(c.year)},
                                   std::chrono::month{static_cast<unsigned>(c.month)},
                                   std::chrono::day{static_cast<unsigned>(c.day)}};
  return date.ok();
}

// Fewest of 3, 6 or 9 digits that hold the fraction exactly; empty for none.
std::string fraction_text(std::int64_t nanosecond) {
  if (nanosecond == 0) return {};
  char text[16];
  if (nanosecond % 1'000'000 == 0) {
    std::snprintf(text, sizeof text, ".%03lld", static_cast<long long>(nanosecond / 1'000'000));
  } else if (nanosecond % 1'000 == 0) {
    std::snprintf(text, sizeof text, ".%06lld", static_cast<long long>(nanosecond / 1'000));
  } else {
    std::snprintf(text, sizeof text, ".%09lld", static_cast<long long>(nanosecond));
  }
  return text;
}

// "+hh:mm"; seconds of an offset are dropped, as RFC 3339 has no place for them.
std::string offset_text(int offset_seconds) {
  int magnitude = offset_seconds < 0 ? -offset_seconds : offset_seconds;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", offset_seconds < 0 ? '-' : '+', magnitude / 3600,
                magnitude % 3600 / 60);
  return text;
}

// The zoned form, or nothing when the components do not name one instant
// with a usable offset.
std::optional<std::string> zoned_text(platform::Platform& platform, const DateComponents& c) {
  if (!c.time_zone || !c.calendar || !is_writable_date(c)) return std::nullopt;
  std::int64_t minute = or_zero(c.minute), second = or_zero(c.second), nanosecond = or_zero(c.nanosecond);
  if (c.hour < 0 || c.hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60) return std::nullopt;
  std::int64_t nanosecond_limit = second == 59 ? 2 * kNanosPerSecond : kNanosPerSecond;  // 59 may be a leap second
  if (nanosecond < 0 || nanosecond >= nanosecond_limit) return std::nullopt;
  // Only sound fields reach the calendar, which turns them into the instant the offset is taken at.
  std::optional<platform::Date> instant = platform.date_from_components(c);
  if (!instant) return std::nullopt;
  int offset = platform.seconds_from_gmt(*c.time_zone, *instant);
  if (offset <= -kSecondsPerDay || offset >= kSecondsPerDay) return std::nullopt;

  if (nanosecond >= kNanosPerSecond) {  // the leap second is written as second 60
    second = 60;
    nanosecond -= kNanosPerSecond;
  }
  char time[32];
  std::snprintf(time, sizeof time, "T%02lld:%02lld:%02lld", static_cast<long long>(c.hour),
                static_cast<long long>(minute), static_cast<long long>(second));
  return date_text(c) + time + fraction_text(nanosecond) + offset_text(offset);
}

}  // namespace

std::string format_due_text(platform::Platform& platform, const DateComponents& components) {
  if (components.hour == kUndefinedComponent) return date_text(components);
  if (std::optional<std::string> zoned = zoned_text(platform, components)) return *zoned;
  char time[64];
  std::snprintf(time, sizeof time, "T%02lld:%02lld", static_cast<long long>(components.hour),
                static_cast<long long>(or_zero(components.minute)));
  return date_text(components) + time;
}

std::optional<std::string> format_remind_at(platform::Date date) {
  double seconds = std::trunc(date.time_interval_since_1970());
  std::int64_t whole;
  if (std::isnan(seconds)) {
    whole = 0;
  } else if (seconds >= 9.2233720368547758e18) {
    whole = std::numeric_limits<std::int64_t>::max();
  } else if (seconds <= -9.2233720368547758e18) {
    whole = std::numeric_limits<std::int64_t>::min();
  } else {
    whole = static_cast<std::int64_t>(seconds);
  }
  return format_rfc3339_utc_seconds(whole);
}

}  // namespace bridge::reminders
