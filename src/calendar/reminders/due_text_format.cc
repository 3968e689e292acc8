#include <chrono>
#include <cmath>
#include <limits>

#include "calendar/command/digits_text.h"
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
  std::string text;
  text.reserve(40);
  if (c.year < 0) text.push_back('-');
  append_padded(text, c.year < 0 ? 0ull - static_cast<std::uint64_t>(c.year) : static_cast<std::uint64_t>(c.year), 4);
  text.push_back('-');
  append_padded_signed(text, c.month, 2);
  text.push_back('-');
  append_padded_signed(text, c.day, 2);
  return text;
}

// A date the RFC 3339 grammar can write: a real Gregorian day in the years 0000-9999.
bool is_writable_date(const DateComponents& c) {
  if (c.year < 0 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31) return false;
  std::chrono::year_month_day date{std::chrono::year{static_cast<int>(c.year)},
                                   std::chrono::month{static_cast<unsigned>(c.month)},
                                   std::chrono::day{static_cast<unsigned>(c.day)}};
  return date.ok();
}

// Fewest of 3, 6 or 9 digits that hold the fraction exactly; nothing for none.
void append_fraction(std::string& text, std::int64_t nanosecond) {
  if (nanosecond == 0) return;
  text.push_back('.');
  if (nanosecond % 1'000'000 == 0) {
    append_padded_signed(text, nanosecond / 1'000'000, 3);
  } else if (nanosecond % 1'000 == 0) {
    append_padded_signed(text, nanosecond / 1'000, 6);
  } else {
    append_padded_signed(text, nanosecond, 9);
  }
}

// "Thh:mm", as the components hold them.
void append_hour_minute(std::string& text, std::int64_t hour, std::int64_t minute) {
  text.push_back('T');
  append_padded_signed(text, hour, 2);
  text.push_back(':');
  append_padded_signed(text, minute, 2);
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
  std::string text = date_text(c);
  append_hour_minute(text, c.hour, minute);
  text.push_back(':');
  append_padded_signed(text, second, 2);
  append_fraction(text, nanosecond);
  append_offset(text, offset);
  return text;
}

}  // namespace

std::string format_due_text(platform::Platform& platform, const DateComponents& components) {
  if (components.hour == kUndefinedComponent) return date_text(components);
  if (std::optional<std::string> zoned = zoned_text(platform, components)) return *zoned;
  std::string text = date_text(components);
  append_hour_minute(text, components.hour, or_zero(components.minute));
  return text;
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
