#include "calendar/reminder_recurrence/rfc3339.h"

#include <chrono>
#include <cstdio>

namespace bridge {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr std::int64_t kMillisPerSecond = 1000;
constexpr std::int64_t kSecondsPerDay = 86400;

// 0000-01-01T00:00:00Z and 9999-12-31T23:59:59Z in seconds since 1970.
constexpr std::int64_t kFirstWritableSecond =
    sys_days{std::chrono::year{0} / 1 / 1}.time_since_epoch().count() * kSecondsPerDay;
constexpr std::int64_t kLastWritableSecond =
    sys_days{std::chrono::year{9999} / 12 / 31}.time_since_epoch().count() * kSecondsPerDay + kSecondsPerDay - 1;

// Reads a fixed number of ASCII digits at `pos`; advances past them on success.
bool read_digits(std::string_view text, std::size_t& pos, int count, int& value) {
  if (text.size() - pos < static_cast<std::size_t>(count)) return false;
  int result = 0;
  for (int i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  value = result;
  pos += count;
  return true;
}

bool read_char(std::string_view text, std::size_t& pos, char expected) {
  if (pos >= text.size() || text[pos] != expected) return false;
  ++pos;
  return true;
}

// The fraction after ".": at least one digit, any number of them.
bool read_fraction(std::string_view text, std::size_t& pos, std::int64_t& nanosecond) {
  std::size_t start = pos;
  std::int64_t value = 0;
  int kept = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (kept < 9) {
      value = value * 10 + (text[pos] - '0');
      ++kept;
    }
    ++pos;
  }
  if (pos == start) return false;
  for (; kept < 9; ++kept) value *= 10;
  nanosecond = value;
  return true;
}

bool read_offset(std::string_view text, std::size_t& pos, int& offset_seconds) {
  if (pos >= text.size()) return false;
  char sign = text[pos];
  if (sign == 'Z' || sign == 'z') {
    ++pos;
    offset_seconds = 0;
    return true;
  }
  if (sign != '+' && sign != '-') return false;
  ++pos;
  int hours = 0, minutes = 0;
  if (!read_digits(text, pos, 2, hours) || !read_char(text, pos, ':') || !read_digits(text, pos, 2, minutes)) {
    return false;
  }
  if (hours > 23 || minutes > 59) return false;
  offset_seconds = (hours * 3600 + minutes * 60) * (sign == '-' ? -1 : 1);
  return true;
}

std::optional<std::string> format_utc(std::int64_t unix_seconds, int millis) {
  if (unix_seconds < kFirstWritableSecond || unix_seconds > kLastWritableSecond) return std::nullopt;
  std::int64_t day_number = unix_seconds / kSecondsPerDay;
  std::int64_t second_of_day = unix_seconds % kSecondsPerDay;
  if (second_of_day < 0) {
    second_of_day += kSecondsPerDay;
    --day_number;
  }
  std::chrono::year_month_day date{sys_days{days{day_number}}};
  int hour = static_cast<int>(second_of_day / 3600);
  int minute = static_cast<int>(second_of_day % 3600 / 60);
  int second = static_cast<int>(second_of_day % 60);
  char text[40];
  int length;
  if (millis != 0) {
    length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d+00:00", static_cast<int>(date.year()),
                           static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), hour, minute,
                           second, millis);
  } else {
    length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d+00:00", static_cast<int>(date.year()),
                           static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), hour, minute,
                           second);
  }
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

std::optional<Rfc3339DateTime> parse_rfc3339(std::string_view text) {
  Rfc3339DateTime result;
  std::size_t pos = 0;
  if (!read_digits(text, pos, 4, result.year) || !read_char(text, pos, '-') ||
      !read_digits(text, pos, 2, result.month) || !read_char(text, pos, '-') ||
      !read_digits(text, pos, 2, result.day)) {
    return std::nullopt;
  }
  if (pos >= text.size() || (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ')) return std::nullopt;
  ++pos;
  if (!read_digits(text, pos, 2, result.hour) || !read_char(text, pos, ':') ||
      !read_digits(text, pos, 2, result.minute) || !read_char(text, pos, ':') ||
      !read_digits(text, pos, 2, result.second)) {
    return std::nullopt;
  }
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    if (!read_fraction(text, pos, result.nanosecond)) return std::nullopt;
  }
  if (!read_offset(text, pos, result.offset_seconds) || pos != text.size()) return std::nullopt;

  std::chrono::year_month_day date{std::chrono::year{result.year}, std::chrono::month{static_cast<unsigned>(result.month)},
                                   std::chrono::day{static_cast<unsigned>(result.day)}};
  if (!date.ok() || result.hour > 23 || result.minute > 59 || result.second > 60) return std::nullopt;

  std::int64_t local_seconds = static_cast<std::int64_t>(sys_days{date}.time_since_epoch().count()) * kSecondsPerDay +
                               result.hour * 3600 + result.minute * 60 + result.second;
  result.unix_milliseconds =
      (local_seconds - result.offset_seconds) * kMillisPerSecond + result.nanosecond / 1'000'000;
  return result;
}

std::optional<std::string> format_rfc3339_utc_millis(std::int64_t unix_milliseconds) {
  std::int64_t seconds = unix_milliseconds / kMillisPerSecond;
  std::int64_t millis = unix_milliseconds % kMillisPerSecond;
  if (millis < 0) {
    millis += kMillisPerSecond;
    --seconds;
  }
  return format_utc(seconds, static_cast<int>(millis));
}

std::optional<std::string> format_rfc3339_utc_seconds(std::int64_t unix_seconds) {
  return format_utc(unix_seconds, 0);
}

}  // namespace bridge
