// How long a file is surely quiet from an instant on: what a query's growing windows
// ask of each file once, from the prefilter's reach and from the busy days and hours.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/local/events/busy_days.h"
#include "platform/local/events/window_prefilter.h"
#include "platform/local/time/zone_time.h"

namespace {

using platform::Date;
using platform::local::BusyDays;

constexpr double kDay = 86400;
constexpr double kHour = 3600;
constexpr std::int64_t kD0 = 20148;  // 2025-03-01
constexpr double kInfinity = std::numeric_limits<double>::infinity();

double at(std::int64_t day, double hours) { return static_cast<double>(day) * kDay + hours * kHour; }

TEST(QuietUntil, BusyDaysAndHours) {
  BusyDays days;
  days.first_day = kD0;
  days.last_day = kD0 + 30;
  days.busy = {{kD0 + 5, kD0 + 6}, {kD0 + 12, kD0 + 12}};
  days.hours = (1u << 9) | (1u << 10);  // 09:00 to 10:59 UTC
  BusyDays every_hour = days;
  every_hour.hours = platform::local::kEveryHour;
  BusyDays other_zone_data = days;
  other_zone_data.hours_zone_data = platform::local::zone_data_version() + "-other";
  BusyDays this_zone_data = days;
  this_zone_data.hours_zone_data = platform::local::zone_data_version();
  BusyDays no_hours = days;
  no_hours.hours = 0;
  const double spoken_for = at(kD0 + 31, 0);
  struct Case {
    const char* what;
    const BusyDays& days;
    double from;
    double quiet_until;
  };
  const Case cases[] = {
      {"before the days spoken for", days, at(kD0 - 1, 12), at(kD0 - 1, 12)},
      {"after them", days, at(kD0 + 31, 1), at(kD0 + 31, 1)},
      {"days before a busy one: its first busy hour", days, at(kD0 + 1, 10), at(kD0 + 5, 9)},
      {"a busy day before its busy hours", days, at(kD0 + 5, 8), at(kD0 + 5, 9)},
      {"within a busy hour", days, at(kD0 + 5, 9.5), at(kD0 + 5, 9.5)},
      {"after the day's busy hours", days, at(kD0 + 5, 11), at(kD0 + 6, 9)},
      {"the last busy day's evening", days, at(kD0 + 6, 12), at(kD0 + 7, 9)},
      {"after the last busy day", days, at(kD0 + 13, 0), spoken_for},
      {"every hour busy: the busy day's start", every_hour, at(kD0 + 1, 10), at(kD0 + 5, 0)},
      {"every hour busy, on a busy day", every_hour, at(kD0 + 5, 11), at(kD0 + 5, 11)},
      {"hours of another tz database are not trusted", other_zone_data, at(kD0 + 5, 8), at(kD0 + 5, 8)},
      {"hours of this tz database are", this_zone_data, at(kD0 + 5, 8), at(kD0 + 5, 9)},
      {"no busy hour at all", no_hours, at(kD0 + 5, 8), spoken_for},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::local::busy_days_quiet_until(c.days, Date{c.from}), c.quiet_until) << c.what;
    // A window ruled out is one ending by then.
    EXPECT_TRUE(platform::local::busy_days_rule_out(c.days, Date{c.from}, Date{c.quiet_until})) << c.what;
    EXPECT_FALSE(platform::local::busy_days_rule_out(c.days, Date{c.from}, Date{c.quiet_until + 1})) << c.what;
  }
  EXPECT_TRUE(std::isnan(platform::local::busy_days_quiet_until(days, Date{std::nan("")})));
  EXPECT_EQ(platform::local::busy_days_quiet_until(days, Date{1e300}), 1e300);
}

TEST(QuietUntil, Reach) {
  const platform::local::EventReach reach{true, kD0 + 10, kD0 + 12};
  const platform::local::EventReach endless{true, kD0 + 10, std::numeric_limits<std::int64_t>::max()};
  struct Case {
    const char* what;
    platform::local::EventReach reach;
    double from;
    double quiet_until;
  };
  const Case cases[] = {
      {"days before: two days' margin before its first day", reach, at(kD0, 5), at(kD0 + 8, 0)},
      {"within the margin", reach, at(kD0 + 9, 5), at(kD0 + 9, 5)},
      {"on its days", reach, at(kD0 + 11, 5), at(kD0 + 11, 5)},
      {"within the margin after", reach, at(kD0 + 14, 23), at(kD0 + 14, 23)},
      {"past it and its margin", reach, at(kD0 + 15, 0), kInfinity},
      {"a rule without end", endless, at(kD0 + 400, 0), at(kD0 + 400, 0)},
      {"not looked at", platform::local::EventReach{}, at(kD0, 5), at(kD0, 5)},
      {"far away", reach, -1e300, -1e300},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::local::reach_quiet_until(c.reach, Date{c.from}), c.quiet_until) << c.what;
  }
}

}  // namespace
