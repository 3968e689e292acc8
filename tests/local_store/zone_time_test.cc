#include "platform/local/time/zone_time.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>

#include "local_store/event_test_env.h"

namespace platform::local {
namespace {

using testing::MachineSettings;
using testing::utc;

struct ZoneCase {
  std::optional<std::string> tz;
  std::string name;
  double instant;
  int offset;
};

TEST(LocalZone, NameAndOffsetFollowTz) {
  const ZoneCase cases[] = {
      {"Asia/Kathmandu", "Asia/Kathmandu", utc(2025, 3, 9, 6), 5 * 3600 + 45 * 60},
      {"America/St_Johns", "America/St_Johns", utc(2025, 1, 15, 12), -(3 * 3600 + 30 * 60)},
      {"America/St_Johns", "America/St_Johns", utc(2025, 7, 15, 12), -(2 * 3600 + 30 * 60)},
      {"UTC", "UTC", utc(2025, 7, 15, 12), 0},
      {":Europe/Paris", "Europe/Paris", utc(2025, 7, 15, 12), 7200},
      {"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo", utc(2025, 7, 15, 12), 9 * 3600},
      // Set but empty: UTC to the C library, so to the store as well.
      {"", "UTC", utc(2025, 7, 15, 12), 0},
  };
  MachineSettings machine;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tz.value_or("(unset)"));
    machine.zone(c.tz);
    EXPECT_EQ(local_zone_name(), c.name);
    EXPECT_EQ(zone_offset_at("", Date{c.instant}), c.offset);
    EXPECT_EQ(zone_offset_at(c.name, Date{c.instant}), c.offset);
  }
}

TEST(LocalZone, UnsetTzIsTheSystemZone) {
  MachineSettings machine;
  machine.zone(std::nullopt);
  EXPECT_FALSE(local_zone_name().empty());
  // The C library reads the same system setting; both must agree on the offset.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(zone_offset_at("", Date{static_cast<double>(now)}), local.tm_gmtoff);
}

TEST(ZoneOffset, NamedZones) {
  const ZoneCase cases[] = {
      {{}, "America/New_York", utc(2025, 3, 9, 6, 59, 59), -5 * 3600},
      {{}, "America/New_York", utc(2025, 3, 9, 7), -4 * 3600},
      {{}, "GMT+0800", utc(2025, 3, 9), 8 * 3600},
      {{}, "No/Such_Zone", utc(2025, 3, 9), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(zone_offset_at(c.name, Date{c.instant}), c.offset);
  }
}

struct WallCase {
  const char* what;
  WallTime wall;
  const char* zone;
  std::optional<double> instant;
};

TEST(WallTimeToDate, ResolvesLikeThePlatform) {
  MachineSettings machine;
  machine.zone("Asia/Kathmandu");
  const WallCase cases[] = {
      {"ordinary", {2025, 7, 1, 9, 30, 0}, "America/New_York", utc(2025, 7, 1, 13, 30)},
      {"skipped: forward by the gap", {2025, 3, 9, 2, 30, 0}, "America/New_York", utc(2025, 3, 9, 7, 30)},
      {"repeated: the first", {2025, 11, 2, 1, 30, 0}, "America/New_York", utc(2025, 11, 2, 5, 30)},
      {"after the repeat", {2025, 11, 2, 2, 0, 0}, "America/New_York", utc(2025, 11, 2, 7)},
      {"local zone", {2025, 3, 9, 14, 5, 0}, "", utc(2025, 3, 9, 8, 20)},
      {"month 13 rolls over", {2024, 13, 1, 0, 0, 0}, "UTC", utc(2025, 1, 1)},
      {"day 0 and hour 24", {2025, 3, 0, 24, 0, 0}, "UTC", utc(2025, 3, 1)},
      {"negative year", {-100, 1, 1, 0, 0, 0}, "UTC", utc(-100, 1, 1)},
      {"nanoseconds", {2025, 1, 1, 0, 0, 0, 500'000'000}, "UTC", utc(2025, 1, 1) + 0.5},
      {"year out of reach", {100'000, 1, 1, 0, 0, 0}, "UTC", std::nullopt},
      {"undefined field", {2025, 1, 9'223'372'036'854'775'807, 0, 0, 0}, "UTC", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto date = wall_time_to_date(c.wall, c.zone);
    ASSERT_EQ(date.has_value(), c.instant.has_value());
    if (date) {
      EXPECT_DOUBLE_EQ(date->seconds_since_1970, *c.instant);
    }
  }
}

TEST(UtcWallTime, ReadsAnInstantInUtc) {
  WallTime wall = utc_wall_time(Date{utc(1969, 12, 31, 23, 59, 58) + 0.75});
  EXPECT_EQ((CalendarFields{wall.year, wall.month, wall.day, wall.hour, wall.minute, wall.second}),
            (CalendarFields{1969, 12, 31, 23, 59, 58}));
  EXPECT_EQ(wall_time_as_utc_seconds(wall), utc(1969, 12, 31, 23, 59, 58));
}

struct CalendarCase {
  const char* what;
  std::optional<std::string> lc_all, lc_messages, lang;
  CalendarFields fields;
};

// Gregorian whatever the locale names (Thai would be Buddhist), in the local zone.
TEST(CurrentCalendar, IsGregorianInTheLocalZoneWhateverTheLocale) {
  const CalendarFields gregorian{2025, 3, 9, 14, 5, 0};
  const CalendarCase cases[] = {
      {"LANG th_TH", {}, {}, "th_TH.UTF-8", gregorian},
      {"nothing set", {}, {}, {}, gregorian},
      {"C", {}, {}, "C", gregorian},
      {"POSIX", {}, {}, "POSIX", gregorian},
      {"C.UTF-8", {}, {}, "C.UTF-8", gregorian},
      {"LC_ALL over LANG", "C", {}, "th_TH.UTF-8", gregorian},
      {"LC_MESSAGES over LANG", {}, "th_TH.UTF-8", "en_US.UTF-8", gregorian},
      {"empty LC_ALL does not count", "", {}, "th_TH.UTF-8", gregorian},
      {"explicit calendar", {}, {}, "th_TH.UTF-8@calendar=gregorian", gregorian},
      {"nonsense locale", {}, {}, "../../x", gregorian},
  };
  MachineSettings machine;
  machine.zone("Asia/Shanghai");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    machine.set("LC_ALL", c.lc_all);
    machine.set("LC_MESSAGES", c.lc_messages);
    machine.set("LANG", c.lang);
    EXPECT_EQ(current_calendar_fields(Date{utc(2025, 3, 9, 6, 5)}), c.fields);
  }
}

TEST(CurrentCalendar, UsesTheZoneOfTheMoment) {
  MachineSettings machine;
  machine.locale(std::nullopt);
  machine.zone("America/St_Johns");
  EXPECT_EQ(current_calendar_fields(Date{utc(2025, 1, 1, 2, 0, 59)}), (CalendarFields{2024, 12, 31, 22, 30, 59}));
  machine.zone("Asia/Kathmandu");
  EXPECT_EQ(current_calendar_fields(Date{utc(2025, 1, 1, 2, 0, 59)}), (CalendarFields{2025, 1, 1, 7, 45, 59}));
}

}  // namespace
}  // namespace platform::local
