#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calendar/reminders/due_text.h"
#include "double/platform_double.h"

namespace {

using bridge::reminders::format_due_text;
using bridge::reminders::format_remind_at;
using bridge::reminders::make_alarm;
using bridge::reminders::parse_due_components;
using platform::DateComponents;
using platform::kUndefinedComponent;
using platform::TimeZone;

constexpr std::int64_t U = kUndefinedComponent;

struct DueCase {
  const char* name;
  std::int64_t hour, minute, second, nanosecond;
  std::optional<TimeZone> zone;
  bool has_calendar;
  const char* expected;
  std::int64_t year = 2025, month = 3, day = 1;
};

DateComponents components_of(const DueCase& c) {
  DateComponents components;
  components.year = c.year;
  components.month = c.month;
  components.day = c.day;
  components.hour = c.hour;
  components.minute = c.minute;
  components.second = c.second;
  components.nanosecond = c.nanosecond;
  if (c.has_calendar) components.calendar = platform::kGregorianCalendar;
  components.time_zone = c.zone;
  return components;
}

TEST(FormatDueText, EveryFormAndEveryConditionOfTheZonedForm) {
  const TimeZone east8 = TimeZone::for_seconds_from_gmt(8 * 3600);
  const TimeZone shanghai = TimeZone::named("Asia/Shanghai");
  const DueCase cases[] = {
      {"date only", U, U, U, U, east8, true, "2025-03-01"},
      {"zoned", 9, 30, U, U, east8, true, "2025-03-01T09:30:00+08:00"},
      {"zoned, named zone", 9, 30, 15, 0, shanghai, true, "2025-03-01T09:30:15+08:00"},
      {"zoned, UTC", 23, 59, 59, U, TimeZone::for_seconds_from_gmt(0), true, "2025-03-01T23:59:59+00:00"},
      {"zoned, west", 9, 30, 0, 0, TimeZone::for_seconds_from_gmt(-(5 * 3600 + 30 * 60)), true,
       "2025-03-01T09:30:00-05:30"},
      {"milliseconds", 9, 30, 0, 250'000'000, east8, true, "2025-03-01T09:30:00.250+08:00"},
      {"microseconds", 9, 30, 0, 250'500'000, east8, true, "2025-03-01T09:30:00.250500+08:00"},
      {"nanoseconds", 9, 30, 0, 1, east8, true, "2025-03-01T09:30:00.000000001+08:00"},
      {"leap second", 23, 59, 59, 1'500'000'000, east8, true, "2025-03-01T23:59:60.500+08:00"},
      {"whole leap second", 23, 59, 59, 1'000'000'000, east8, true, "2025-03-01T23:59:60+08:00"},
      {"leap nanosecond off second 59", 9, 30, 58, 1'000'000'000, east8, true, "2025-03-01T09:30"},
      {"nanosecond past the leap second", 23, 59, 59, 2'000'000'000, east8, true, "2025-03-01T23:59"},
      {"no zone", 9, 30, U, U, std::nullopt, true, "2025-03-01T09:30"},
      {"no zone, undefined minute", 9, U, U, U, std::nullopt, true, "2025-03-01T09:00"},
      {"no calendar", 9, 30, 0, 0, east8, false, "2025-03-01T09:30"},
      {"hour 24", 24, 0, 0, 0, east8, true, "2025-03-01T24:00"},
      {"minute 60", 9, 60, 0, 0, east8, true, "2025-03-01T09:60"},
      {"second 60", 9, 30, 60, 0, east8, true, "2025-03-01T09:30"},
      {"undefined minute and second count as 0", 9, U, U, U, east8, true, "2025-03-01T09:00:00+08:00"},
      {"offset just inside a day", 9, 30, 0, 0, TimeZone::for_seconds_from_gmt(86'399), true,
       "2025-03-01T09:30:00+23:59"},
      {"offset of a whole day", 9, 30, 0, 0, TimeZone::for_seconds_from_gmt(86'400), true, "2025-03-01T09:30"},
      {"offset of minus a whole day", 9, 30, 0, 0, TimeZone::for_seconds_from_gmt(-86'400), true,
       "2025-03-01T09:30"},
      {"offset just inside minus a day", 9, 30, 0, 0, TimeZone::for_seconds_from_gmt(-86'399), true,
       "2025-03-01T09:30:00-23:59"},
      {"no such day", 9, 30, 0, 0, east8, true, "2025-02-30T09:30", 2025, 2, 30},
      {"leap day", 9, 30, 0, 0, east8, true, "2024-02-29T09:30:00+08:00", 2024, 2, 29},
      {"small year padded", U, U, U, U, std::nullopt, true, "0042-01-02", 42, 1, 2},
  };
  double_platform::PlatformDouble platform;
  platform.set_zone_offset("Asia/Shanghai", 8 * 3600);
  for (const DueCase& c : cases) {
    EXPECT_EQ(format_due_text(platform, components_of(c)), c.expected) << c.name;
  }
}

TEST(FormatRemindAt, UtcWholeSecondsWithinTheWritableYears) {
  const struct {
    double seconds;
    std::optional<std::string> expected;
  } cases[] = {
      {1'740'792'600.0, "2025-03-01T01:30:00+00:00"},
      {1'740'792'600.999, "2025-03-01T01:30:00+00:00"},
      {-0.5, "1970-01-01T00:00:00+00:00"},  // cut toward zero, not down
      {-1.5, "1969-12-31T23:59:59+00:00"},
      {std::nan(""), "1970-01-01T00:00:00+00:00"},
      {-62'167'219'200.0, "0000-01-01T00:00:00+00:00"},
      {253'402'300'799.0, "9999-12-31T23:59:59+00:00"},
      {253'402'300'800.0, std::nullopt},
      {-62'167'219'201.0, std::nullopt},
      {1e300, std::nullopt},
      {-1e300, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_remind_at(platform::Date{c.seconds}), c.expected) << c.seconds;
  }
}

struct ParseCase {
  const char* text;
  std::optional<const char*> failure;
  std::int64_t hour = U, minute = U, second = U, nanosecond = U;
  std::optional<int> offset = std::nullopt;
};

TEST(ParseDueComponents, DateOnlyZonedAndFloatingFormsAndTheirMessages) {
  const char* bad_date = "截止日期无效";
  const char* bad_time = "截止时间无效";
  const ParseCase cases[] = {
      {"2025-03-01", std::nullopt},
      {"2025-03-01T09:30", std::nullopt, 9, 30},
      {"2025-03-01T09:30:00+08:00", std::nullopt, 9, 30, 0, 0, 8 * 3600},
      {"2025-03-01t09:30:15Z", std::nullopt, 9, 30, 15, 0, 0},
      {"2025-03-01 09:30:15z", std::nullopt, 9, 30, 15, 0, 0},
      {"2025-03-01T09:30:00.5-05:30", std::nullopt, 9, 30, 0, 500'000'000, -(5 * 3600 + 30 * 60)},
      {"2025-03-01T09:30:00.123456789123+00:00", std::nullopt, 9, 30, 0, 123'456'789, 0},
      {"2025-03-01T23:59:60.25Z", std::nullopt, 23, 59, 59, 1'250'000'000, 0},
      {"2025-3-1", bad_date},
      {"2025-3-01T09:30", bad_date},
      {"12025-03-01", bad_date},
      {"2025/03/01", bad_date},
      {"2025-02-29", bad_date},
      {"2025-13-01", bad_date},
      {"2025-00-10", bad_date},
      {"", bad_date},
      {"2025-03-0", bad_date},
      {" 2025-03-01", bad_date},
      {"2025-03-01\xA9", bad_date},           // byte 10 inside a character
      {"2025-03-0\xC3\xA9", bad_date},         // a character across byte 10 ends the date early
      {"2025-03-01\xC3\xA9", bad_time},        // byte 10 on a character boundary
      {"2025-03-01 09:30", bad_time},
      {"2025-03-01T09:30Z", bad_time},
      {"2025-03-01T09:30:00", bad_time},
      {"2025-03-01T24:00", bad_time},
      {"2025-03-01T09:60", bad_time},
      {"2025-03-01T9:30", bad_time},
      {"2025-03-01T09:30:00+24:00", bad_time},
      // the widest offsets the platform has a zone for, and just past them
      {"2025-03-01T09:30:00+18:00", std::nullopt, 9, 30, 0, 0, 18 * 3600},
      {"2025-03-01T09:30:00-18:00", std::nullopt, 9, 30, 0, 0, -18 * 3600},
      {"2025-03-01T09:30:00+18:01", bad_time},
      {"2025-03-01T09:30:00-18:01", bad_time},
      {"2025-03-01T09:30:00+23:59", bad_time},
      {"2025-03-01T09:30 ", bad_time},
      {"2025-03-01X", bad_time},
  };
  for (const ParseCase& c : cases) {
    auto result = parse_due_components(std::string_view(c.text));
    if (c.failure) {
      ASSERT_TRUE(!result.ok()) << c.text;
      EXPECT_EQ(result.error().message, *c.failure) << c.text;
      continue;
    }
    ASSERT_FALSE(!result.ok()) << c.text;
    const auto& components = result.value();
    ASSERT_TRUE(components.has_value()) << c.text;
    DateComponents expected;
    expected.year = 2025;
    expected.month = 3;
    expected.day = 1;
    expected.hour = c.hour;
    expected.minute = c.minute;
    expected.second = c.second;
    expected.nanosecond = c.nanosecond;
    expected.calendar = platform::kGregorianCalendar;
    if (c.offset) expected.time_zone = TimeZone::for_seconds_from_gmt(*c.offset);
    EXPECT_EQ(*components, expected) << c.text;
  }
}

TEST(ParseDueComponents, NoTextIsNoDueDate) {
  auto result = parse_due_components(std::nullopt);
  ASSERT_FALSE(!result.ok());
  EXPECT_FALSE(result.value().has_value());
}

TEST(ParseDueComponents, ZonedTextReadsBackAsTheSameText) {
  double_platform::PlatformDouble platform;
  for (const char* text : {"2025-03-01T09:30:00+08:00", "2025-03-01T09:30:00.250-05:30", "2025-03-01T09:30",
                           "2025-03-01", "2016-12-31T23:59:60.500+00:00"}) {
    auto result = parse_due_components(std::string_view(text));
    ASSERT_FALSE(!result.ok()) << text;
    EXPECT_EQ(format_due_text(platform, *result.value()), text);
  }
}

TEST(MakeAlarm, AbsoluteAlarmInWholeSeconds) {
  const struct {
    const char* text;
    std::optional<double> seconds;  // nothing: invalid
  } cases[] = {
      {"2025-03-01T09:30:00+08:00", 1'740'792'600.0},
      {"2025-03-01T01:30:00.999Z", 1'740'792'600.0},
      {"1969-12-31T23:59:59.500Z", -1.0},
      {"2025-03-01 01:30:00z", 1'740'792'600.0},
      {"2025-03-01", std::nullopt},
      {"2025-03-01T09:30", std::nullopt},
      {"2025-03-01T09:30:00", std::nullopt},
      {"tomorrow", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    auto result = make_alarm(std::string_view(c.text));
    if (!c.seconds) {
      ASSERT_TRUE(!result.ok()) << c.text;
      EXPECT_EQ(result.error().message, "提醒时间无效");
      continue;
    }
    ASSERT_FALSE(!result.ok()) << c.text;
    const auto& alarm = result.value();
    ASSERT_TRUE(alarm && alarm->absolute_date) << c.text;
    EXPECT_EQ(alarm->absolute_date->seconds_since_1970, *c.seconds) << c.text;
  }
  auto none = make_alarm(std::nullopt);
  ASSERT_FALSE(!none.ok());
  EXPECT_FALSE(none.value().has_value());
}

}  // namespace
