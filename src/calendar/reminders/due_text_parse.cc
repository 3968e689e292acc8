#include <chrono>
#include <cmath>

#include "calendar/reminder_recurrence/rfc3339.h"
#include "calendar/reminders/due_text.h"

namespace bridge::reminders {
namespace {

using platform::DateComponents;

constexpr const char* kInvalidDueDate = "截止日期无效";
constexpr const char* kInvalidDueTime = "截止时间无效";
constexpr const char* kInvalidRemindAt = "提醒时间无效";

constexpr std::size_t kDateLength = 10;          // yyyy-mm-dd
constexpr std::size_t kFloatingLength = 16;      // yyyy-mm-ddThh:mm
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// The widest offset the platform makes a time zone for (timeZoneForSecondsFromGMT:).
constexpr int kMaxZoneOffsetSeconds = 18 * 3600;

// Exactly `count` ASCII digits from `pos`.
bool read_number(std::string_view text, std::size_t pos, std::size_t count, int& value) {
  if (text.size() < pos + count) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// "%Y-%m-%d" read strictly: four-digit year, two-digit month and day, a real day.
std::optional<std::chrono::year_month_day> read_date(std::string_view text) {
  int year = 0, month = 0, day = 0;
  if (text.size() != kDateLength || !read_number(text, 0, 4, year) || text[4] != '-' ||
      !read_number(text, 5, 2, month) || text[7] != '-' || !read_number(text, 8, 2, day)) {
    return std::nullopt;
  }
  std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                   std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

// "%Y-%m-%dT%H:%M" over the whole text: hour and minute, or nothing.
bool read_floating_time(std::string_view text, int& hour, int& minute) {
  return text.size() == kFloatingLength && read_date(text.substr(0, kDateLength)) && text[10] == 'T' &&
         read_number(text, 11, 2, hour) && text[13] == ':' && read_number(text, 14, 2, minute) && hour < 24 &&
         minute < 60;
}

bool is_utf8_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

Expected<std::optional<DateComponents>> parse_due_components(std::optional<std::string_view> text) {
  if (!text) return std::optional<DateComponents>();
  std::string_view due = *text;
  if (due.size() < kDateLength || (due.size() > kDateLength && is_utf8_continuation(due[kDateLength]))) {
    return Failure{kInvalidDueDate};
  }
  std::optional<std::chrono::year_month_day> date = read_date(due.substr(0, kDateLength));
  if (!date) return Failure{kInvalidDueDate};

  DateComponents components;
  components.calendar = platform::kGregorianCalendar;
  components.year = static_cast<int>(date->year());
  components.month = static_cast<unsigned>(date->month());
  components.day = static_cast<unsigned>(date->day());
  if (due.size() == kDateLength) return std::optional<DateComponents>(components);

  if (std::optional<Rfc3339DateTime> zoned = parse_rfc3339(due)) {
    // A wider offset would have no zone and silently become a floating time.
    if (zoned->offset_seconds > kMaxZoneOffsetSeconds || zoned->offset_seconds < -kMaxZoneOffsetSeconds) {
      return Failure{kInvalidDueTime};
    }
    // The date stays as written: it is the local date in the text's own offset.
    components.hour = zoned->hour;
    components.minute = zoned->minute;
    components.second = zoned->second;
    components.nanosecond = zoned->nanosecond;
    if (zoned->second == 60) {  // a leap second is second 59 plus a whole second
      components.second = 59;
      components.nanosecond += kNanosPerSecond;
    }
    components.time_zone = platform::TimeZone::for_seconds_from_gmt(zoned->offset_seconds);
    return std::optional<DateComponents>(components);
  }
  int hour = 0, minute = 0;
  if (read_floating_time(due, hour, minute)) {
    components.hour = hour;
    components.minute = minute;
    return std::optional<DateComponents>(components);
  }
  return Failure{kInvalidDueTime};
}

Expected<std::optional<platform::Alarm>> make_alarm(std::optional<std::string_view> text) {
  if (!text) return std::optional<platform::Alarm>();
  std::optional<Rfc3339DateTime> instant = parse_rfc3339(*text);
  if (!instant) return Failure{kInvalidRemindAt};
  std::int64_t millis = instant->unix_milliseconds;
  std::int64_t seconds = millis / 1000 - (millis % 1000 < 0 ? 1 : 0);  // floor: the fraction is dropped
  return std::optional<platform::Alarm>(
      platform::Alarm::with_absolute_date(platform::Date::with_time_interval_since_1970(static_cast<double>(seconds))));
}

}  // namespace bridge::reminders
