#pragma once

#include <compare>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace platform {

// An instant on the platform's clock: seconds since 1970-01-01T00:00:00Z.
struct Date {
  double seconds_since_1970 = 0;

  static Date with_time_interval_since_1970(double seconds) { return Date{seconds}; }
  double time_interval_since_1970() const { return seconds_since_1970; }
  friend auto operator<=>(const Date&, const Date&) = default;
};

// A time zone: a tz database zone, or a fixed offset from GMT.
class TimeZone {
 public:
  static TimeZone named(std::string name) { return TimeZone(std::move(name), std::nullopt); }
  // Like timeZoneForSecondsFromGMT:. Named "GMT" for zero, else "GMT+hhmm" / "GMT-hhmm".
  static TimeZone for_seconds_from_gmt(int seconds);

  const std::string& name() const { return name_; }
  // Set for zones made from an offset; such a zone has no daylight-saving time.
  std::optional<int> fixed_offset_seconds() const { return fixed_offset_; }
  friend bool operator==(const TimeZone&, const TimeZone&) = default;

 private:
  TimeZone(std::string name, std::optional<int> offset) : name_(std::move(name)), fixed_offset_(offset) {}
  std::string name_;
  std::optional<int> fixed_offset_;
};

inline TimeZone TimeZone::for_seconds_from_gmt(int seconds) {
  if (seconds == 0) return TimeZone("GMT", 0);
  int magnitude = seconds < 0 ? -seconds : seconds;
  char text[16];
  int hours = magnitude / 3600, minutes = magnitude % 3600 / 60;
  std::snprintf(text, sizeof text, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', hours % 100, minutes);
  return TimeZone(text, seconds);
}

// The value an unset field of DateComponents reads as.
inline constexpr std::int64_t kUndefinedComponent = std::numeric_limits<std::int64_t>::max();

// The identifier of the Gregorian calendar, as calendarWithIdentifier: takes it.
inline constexpr const char* kGregorianCalendar = "gregorian";

// Date components of a reminder's due or start date; any field may be undefined.
struct DateComponents {
  std::int64_t year = kUndefinedComponent;
  std::int64_t month = kUndefinedComponent;
  std::int64_t day = kUndefinedComponent;
  std::int64_t hour = kUndefinedComponent;
  std::int64_t minute = kUndefinedComponent;
  std::int64_t second = kUndefinedComponent;
  std::int64_t nanosecond = kUndefinedComponent;
  std::optional<std::string> calendar;  // calendar identifier, e.g. kGregorianCalendar
  std::optional<TimeZone> time_zone;
  friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

// Year to second of an instant in the current calendar and the local time zone.
struct CalendarFields {
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const CalendarFields&, const CalendarFields&) = default;
};

}  // namespace platform
