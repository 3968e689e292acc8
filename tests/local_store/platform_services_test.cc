#include <gtest/gtest.h>

#include "local_store/event_test_env.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::DateComponents;
using platform::TimeZone;
using platform::local::testing::utc;

DateComponents components(std::int64_t y, std::int64_t m, std::int64_t d, std::int64_t h, std::int64_t mi,
                          std::optional<TimeZone> zone) {
  DateComponents c;
  c.calendar = platform::kGregorianCalendar;
  c.year = y, c.month = m, c.day = d, c.hour = h, c.minute = mi;
  c.time_zone = std::move(zone);
  return c;
}

struct ComponentsCase {
  const char* name;
  DateComponents components;
  std::optional<double> expected;
};

class DateFromComponentsTest : public testing::TestWithParam<ComponentsCase> {};

TEST_P(DateFromComponentsTest, TurnsComponentsIntoAnInstant) {
  platform::local::testing::MachineSettings settings;
  settings.zone("America/New_York");
  store_test::StoreFolder folder;
  platform::local::LocalPlatform platform(folder.root());
  auto date = platform.date_from_components(GetParam().components);
  ASSERT_EQ(date.has_value(), GetParam().expected.has_value());
  if (date) {
    EXPECT_DOUBLE_EQ(date->seconds_since_1970, *GetParam().expected);
  }
}

DateComponents with_nanosecond(DateComponents c, std::int64_t ns) {
  c.second = 5;
  c.nanosecond = ns;
  return c;
}

DateComponents without_calendar(DateComponents c) {
  c.calendar.reset();
  return c;
}

DateComponents without_day(DateComponents c) {
  c.day = platform::kUndefinedComponent;
  return c;
}

const ComponentsCase kComponentsCases[] = {
    {"FixedOffset", components(2025, 3, 1, 9, 30, TimeZone::for_seconds_from_gmt(8 * 3600)), utc(2025, 3, 1, 1, 30)},
    {"NamedZone", components(2025, 7, 1, 12, 0, TimeZone::named("Europe/Berlin")), utc(2025, 7, 1, 10, 0)},
    {"LocalZoneWhenNone", components(2025, 1, 15, 8, 0, std::nullopt), utc(2025, 1, 15, 13, 0)},
    {"DateOnlyIsLocalMidnight", components(2025, 1, 15, platform::kUndefinedComponent, platform::kUndefinedComponent,
                                           std::nullopt),
     utc(2025, 1, 15, 5, 0)},
    {"FieldsRollOver", components(2024, 13, 32, 25, 0, TimeZone::for_seconds_from_gmt(0)), utc(2025, 2, 2, 1, 0)},
    {"Nanoseconds", with_nanosecond(components(2025, 3, 1, 0, 0, TimeZone::for_seconds_from_gmt(0)), 500000000),
     utc(2025, 3, 1) + 5.5},
    {"NoCalendar", without_calendar(components(2025, 3, 1, 9, 0, std::nullopt)), std::nullopt},
    {"NoDay", without_day(components(2025, 3, 1, 9, 0, std::nullopt)), std::nullopt},
    {"BeyondReach", components(9'000'000'000'000, 1, 1, 0, 0, TimeZone::for_seconds_from_gmt(0)), std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Components, DateFromComponentsTest, testing::ValuesIn(kComponentsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformServices, ZonesAndClocks) {
  platform::local::testing::MachineSettings settings;
  settings.zone("Asia/Kathmandu");
  store_test::StoreFolder folder;
  platform::local::LocalPlatform platform(folder.root());
  EXPECT_EQ(platform.local_time_zone(), TimeZone::named("Asia/Kathmandu"));
  EXPECT_EQ(platform.seconds_from_gmt(platform.local_time_zone(), Date{utc(2025, 3, 1)}), 5 * 3600 + 45 * 60);
  EXPECT_EQ(platform.seconds_from_gmt(TimeZone::for_seconds_from_gmt(-3600), Date{0}), -3600);
  EXPECT_EQ(platform.current_calendar_components(Date{utc(2025, 3, 1)}),
            (platform::CalendarFields{2025, 3, 1, 5, 45, 0}));
  auto before = platform.monotonic_now();
  EXPECT_LE(before, platform.monotonic_now());
  // A date already past returns at once.
  platform.run_main_loop_until(Date{platform.now().seconds_since_1970 - 10});
}

}  // namespace
