#include <chrono>
#include <cmath>

#include "calendar/command/rfc3339.h"
#include "calendar/reminders/due_text.h"

namespace bridge::reminders {
namespace {

using platform::DateComponents;

constexpr const char* kInvalidDueDate = "截止日期无效";
constexpr const char* kInvalidDueTime = "截止时间无效";
constexpr const char* kInvalidRemindAt = "提醒时间无效";

constexpr std::size_t kDateLength = 10;          // yyyy-mm-dd
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// The widest offset the platform makes a time zone for (timeZoneForSecondsFromGMT:).
constexpr int kMaxZoneOffsetSeconds = 18 * 3600;

bool is_utf8_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

Expected<std::optional<DateComponents>> parse_due_components(std::optional<std::string_view> text) {
  if (!text) return std::optional<DateComponents>();
  std::string_view due = *text;
  if (due.size() < kDateLength || (due.size() > kDateLength && is_utf8_continuation(due[kDateLength]))) {
    return Failure{kInvalidDueDate};
  }
  std::optional<std::chrono::year_month_day> date = parse_full_date(due.substr(0, kDateLength));
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
  if (std::optional<DateHourMinute> floating = parse_date_hour_minute(due)) {
    components.hour = floating->hour;
    components.minute = floating->minute;
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
