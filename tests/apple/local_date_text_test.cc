#include "calendar/apple/local_date_text.h"

#include <gtest/gtest.h>

#include "double/platform_double.h"

namespace {

using double_platform::PlatformDouble;
using platform::Date;
using platform::TimeZone;

constexpr double kMarch9At0605Utc = 1741500300;  // 2025-03-09T06:05:00Z

struct DateTimeCase {
  const char* name;
  int local_offset;
  double instant;
  const char* expected_date;
  const char* expected_datetime;
};

TEST(LocalDateText, UsesTheLocalOffsetOfTheInstant) {
  const DateTimeCase cases[] = {
      {"UTC+8", 8 * 3600, kMarch9At0605Utc, "2025-03-09", "2025-03-09T14:05:00+08:00"},
      {"Kathmandu", 5 * 3600 + 45 * 60, kMarch9At0605Utc, "2025-03-09", "2025-03-09T11:50:00+05:45"},
      {"St John's", -(3 * 3600 + 30 * 60), kMarch9At0605Utc, "2025-03-09", "2025-03-09T02:35:00-03:30"},
      {"UTC", 0, kMarch9At0605Utc, "2025-03-09", "2025-03-09T06:05:00+00:00"},
      {"west, day before", -10 * 3600, kMarch9At0605Utc, "2025-03-08", "2025-03-08T20:05:00-10:00"},
      {"seconds of an offset are dropped", -(4 * 3600 + 56 * 60 + 2), kMarch9At0605Utc, "2025-03-09",
       "2025-03-09T01:08:58-04:56"},
      {"under a minute west is still negative", -30, kMarch9At0605Utc, "2025-03-09", "2025-03-09T06:04:30-00:00"},
      {"fraction of a second never shows", 0, kMarch9At0605Utc + 0.75, "2025-03-09", "2025-03-09T06:05:00+00:00"},
      {"year padded to four digits", 0, -61972041600.0, "0006-03-09", "0006-03-09T00:00:00+00:00"},
  };
  for (const DateTimeCase& c : cases) {
    PlatformDouble p;
    TimeZone zone = TimeZone::named("Test/Zone");
    p.set_local_time_zone(zone, c.local_offset);
    EXPECT_EQ(bridge::format_local_date(p, Date{c.instant}), c.expected_date) << c.name;
    EXPECT_EQ(bridge::format_local_datetime(p, zone, Date{c.instant}), c.expected_datetime) << c.name;
  }
}

// The offset is asked of the given zone for the instant itself, so the texts on
// both sides of a daylight-saving change differ.
class NewYorkPlatform : public PlatformDouble {
 public:
  int seconds_from_gmt(const TimeZone&, Date date) override {
    return date.seconds_since_1970 < kFallBack ? -4 * 3600 : -5 * 3600;
  }
  platform::CalendarFields current_calendar_components(Date date) override {
    set_local_time_zone(local_time_zone(), seconds_from_gmt(local_time_zone(), date));
    return PlatformDouble::current_calendar_components(date);
  }
  static constexpr double kFallBack = 1762063200;  // 2025-11-02T06:00:00Z
};

TEST(LocalDateText, DaylightSavingChangeShowsInTheOffset) {
  NewYorkPlatform p;
  TimeZone zone = TimeZone::named("America/New_York");
  EXPECT_EQ(bridge::format_local_datetime(p, zone, Date{NewYorkPlatform::kFallBack - 1800}),
            "2025-11-02T01:30:00-04:00");
  EXPECT_EQ(bridge::format_local_datetime(p, zone, Date{NewYorkPlatform::kFallBack + 1800}),
            "2025-11-02T01:30:00-05:00");
}

}  // namespace
