#pragma once

// The date texts requests carry, read in one place: RFC 3339 date-times (any
// offset), their full-date alone, and a date with an hour and minute; and UTC
// date-times written with "+00:00". Years are limited to 0000-9999, the
// four-digit years the grammar allows.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bridge {

// One RFC 3339 date-time as written, plus the instant it names.
struct Rfc3339DateTime {
  // The wall-clock fields in the text's own offset, as written.
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  int second = 0;                // 0-60; 60 is a leap second
  std::int64_t nanosecond = 0;   // the fraction; digits below the nanosecond dropped
  int offset_seconds = 0;        // east of UTC; 0 for "Z"
  // The instant: milliseconds since 1970-01-01T00:00:00Z, digits below the
  // millisecond dropped from the fraction. A leap second counts as the next second.
  std::int64_t unix_milliseconds = 0;
};

// Which signs a negative offset may have: "-" always; the event query also
// takes U+2212 MINUS SIGN, which the reminder fields refuse.
enum class OffsetMinus { hyphen, hyphen_or_minus_sign };

// Reads the whole text as an RFC 3339 date-time: yyyy-mm-dd, "T", "t" or one
// space, hh:mm:ss, an optional "." with one or more digits, then "Z", "z" or
// ±hh:mm. Anything else (a date alone, no offset, trailing text) gives nothing.
std::optional<Rfc3339DateTime> parse_rfc3339(std::string_view text, OffsetMinus minus = OffsetMinus::hyphen);

// The whole text as yyyy-mm-dd naming a real day, or nothing.
std::optional<std::chrono::year_month_day> parse_full_date(std::string_view text);

// A date and a wall-clock minute without seconds or offset.
struct DateHourMinute {
  std::chrono::year_month_day date;
  int hour = 0, minute = 0;
};

// The whole text as yyyy-mm-ddThh:mm (a capital "T"), or nothing.
std::optional<DateHourMinute> parse_date_hour_minute(std::string_view text);

// The instant in UTC, e.g. 2026-03-31T16:00:00.250+00:00; the ".mmm" part only
// when the milliseconds are not zero. Nothing outside the years 0000-9999.
std::optional<std::string> format_rfc3339_utc_millis(std::int64_t unix_milliseconds);

// The instant in UTC in whole seconds, e.g. 2025-03-01T01:30:00+00:00.
// Nothing outside the years 0000-9999.
std::optional<std::string> format_rfc3339_utc_seconds(std::int64_t unix_seconds);

}  // namespace bridge
