#include "platform/local/events/event_series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"

namespace platform::local {
namespace {

using testing::EventFiles;
using testing::kCustomEasternZone;
using testing::MachineSettings;
using testing::utc;
using testing::vcalendar;

struct Seen {
  double start, end;
  std::string title;
  friend bool operator==(const Seen&, const Seen&) = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
  WallTime w = utc_wall_time(Date{s.start});
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ +%.0fs '", static_cast<long long>(w.year),
                static_cast<long long>(w.month), static_cast<long long>(w.day), static_cast<long long>(w.hour),
                static_cast<long long>(w.minute), static_cast<long long>(w.second), s.end - s.start);
  *os << text << s.title << "'";
}

std::vector<Seen> seen(const std::vector<platform::Event>& events) {
  std::vector<Seen> out;
  for (const auto& e : events) out.push_back({e.start_date.seconds_since_1970, e.end_date.seconds_since_1970, e.title});
  return out;
}

Seen at(double start, double length = 3600, std::string title = "s") { return {start, start + length, title}; }

struct SeriesCase {
  const char* what;
  std::string body;  // the VEVENTs of the file
  double window_start, window_end;
  std::vector<Seen> expected;
};

std::string master(const std::string& properties) {
  return "BEGIN:VEVENT\nUID:s\nSUMMARY:s\n" + properties + "END:VEVENT\n";
}
std::string override_of(const std::string& properties, const std::string& uid = "s") {
  return "BEGIN:VEVENT\nUID:" + uid + "\n" + properties + "END:VEVENT\n";
}

TEST(EventSeries, Expansion) {
  const std::string ny_weekly =
      "DTSTART;TZID=America/New_York:20250302T090000\nDTEND;TZID=America/New_York:20250302T100000\n"
      "RRULE:FREQ=WEEKLY\n";
  const SeriesCase cases[] = {
      {"COUNT", master("DTSTART:20250301T100000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY;COUNT=3\n"), utc(2025, 1, 1),
       utc(2026, 1, 1), {at(utc(2025, 3, 1, 10)), at(utc(2025, 3, 2, 10)), at(utc(2025, 3, 3, 10))}},
      {"window cuts the rule", master("DTSTART:20250301T100000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY\n"),
       utc(2025, 3, 5, 10, 30), utc(2025, 3, 7, 10), {at(utc(2025, 3, 5, 10)), at(utc(2025, 3, 6, 10))}},
      {"zoned rule keeps its wall-clock time across the change", master(ny_weekly), utc(2025, 3, 1), utc(2025, 3, 20),
       {at(utc(2025, 3, 2, 14)), at(utc(2025, 3, 9, 13)), at(utc(2025, 3, 16, 13))}},
      {"VTIMEZONE rule across the change",
       std::string(kCustomEasternZone) +
           master("DTSTART;TZID=Custom/Eastern:20251026T090000\nDURATION:PT1H\nRRULE:FREQ=WEEKLY;COUNT=2\n"),
       utc(2025, 10, 1), utc(2025, 12, 1), {at(utc(2025, 10, 26, 13)), at(utc(2025, 11, 2, 14))}},
      {"EXDATE in the event's zone",
       master(ny_weekly + "EXDATE;TZID=America/New_York:20250309T090000\n"), utc(2025, 3, 1), utc(2025, 3, 20),
       {at(utc(2025, 3, 2, 14)), at(utc(2025, 3, 16, 13))}},
      {"EXDATE in UTC", master(ny_weekly + "EXDATE:20250316T130000Z\n"), utc(2025, 3, 1), utc(2025, 3, 20),
       {at(utc(2025, 3, 2, 14)), at(utc(2025, 3, 9, 13))}},
      {"EXDATE that names no occurrence", master(ny_weekly + "EXDATE:20250316T140000Z\n"), utc(2025, 3, 1),
       utc(2025, 3, 20), {at(utc(2025, 3, 2, 14)), at(utc(2025, 3, 9, 13)), at(utc(2025, 3, 16, 13))}},
      {"EXDATE may remove DTSTART", master(ny_weekly + "EXDATE;TZID=America/New_York:20250302T090000\n"),
       utc(2025, 3, 1), utc(2025, 3, 10), {at(utc(2025, 3, 9, 13))}},
      {"RDATE adds, one equal to a rule date counts once",
       master("DTSTART:20250301T100000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY;COUNT=2\n"
              "RDATE:20250310T080000Z,20250302T100000Z\n"),
       utc(2025, 1, 1), utc(2026, 1, 1), {at(utc(2025, 3, 1, 10)), at(utc(2025, 3, 2, 10)), at(utc(2025, 3, 10, 8))}},
      {"RDATE PERIOD has its own length",
       master("DTSTART:20250301T100000Z\nDURATION:PT1H\nRDATE;VALUE=PERIOD:20250305T100000Z/PT2H,"
              "20250306T100000Z/20250306T100030Z\n"),
       utc(2025, 1, 1), utc(2026, 1, 1), {at(utc(2025, 3, 1, 10)), at(utc(2025, 3, 5, 10), 7200), at(utc(2025, 3, 6, 10), 30)}},
      {"RDATE without a rule; EXDATE applies to it",
       master("DTSTART:20250301T100000Z\nDURATION:PT1H\nRDATE:20250302T100000Z\nRDATE:20250303T100000Z\n"
              "EXDATE:20250302T100000Z\n"),
       utc(2025, 1, 1), utc(2026, 1, 1), {at(utc(2025, 3, 1, 10)), at(utc(2025, 3, 3, 10))}},
      {"override across the change replaces its occurrence",
       master(ny_weekly) + override_of("RECURRENCE-ID;TZID=America/New_York:20250309T090000\nSUMMARY:moved\n"
                                       "DTSTART;TZID=America/New_York:20250309T110000\n"
                                       "DTEND;TZID=America/New_York:20250309T113000\n"),
       utc(2025, 3, 1), utc(2025, 3, 20),
       {at(utc(2025, 3, 2, 14)), at(utc(2025, 3, 9, 15), 1800, "moved"), at(utc(2025, 3, 16, 13))}},
      {"override named in UTC",
       master(ny_weekly) + override_of("RECURRENCE-ID:20250316T130000Z\nSUMMARY:moved\n"
                                       "DTSTART:20250316T200000Z\n"),
       utc(2025, 3, 10), utc(2025, 3, 20), {at(utc(2025, 3, 16, 20), 0, "moved")}},
      {"override moved into the window counts",
       master(ny_weekly) + override_of("RECURRENCE-ID;TZID=America/New_York:20250302T090000\nSUMMARY:moved\n"
                                       "DTSTART;TZID=America/New_York:20250312T090000\nDURATION:PT1H\n"),
       utc(2025, 3, 10), utc(2025, 3, 15), {at(utc(2025, 3, 12, 13), 3600, "moved")}},
      {"override moved out of the window does not",
       master(ny_weekly) + override_of("RECURRENCE-ID;TZID=America/New_York:20250309T090000\nSUMMARY:moved\n"
                                       "DTSTART;TZID=America/New_York:20250401T090000\nDURATION:PT1H\n"),
       utc(2025, 3, 5), utc(2025, 3, 12), {}},
      {"an override of another UID replaces nothing: it is an item of its own",
       master(ny_weekly) + override_of("RECURRENCE-ID;TZID=America/New_York:20250309T090000\nSUMMARY:other\n"
                                       "DTSTART;TZID=America/New_York:20250309T110000\n",
                                       "other"),
       utc(2025, 3, 5), utc(2025, 3, 12), {at(utc(2025, 3, 9, 13)), at(utc(2025, 3, 9, 15), 0, "other")}},
      {"of two overrides of one occurrence the later wins",
       master(ny_weekly) +
           override_of("RECURRENCE-ID;TZID=America/New_York:20250309T090000\nSUMMARY:first\n"
                       "DTSTART;TZID=America/New_York:20250309T110000\n") +
           override_of("RECURRENCE-ID;TZID=America/New_York:20250309T090000\nSUMMARY:second\n"
                       "DTSTART;TZID=America/New_York:20250309T120000\n"),
       utc(2025, 3, 5), utc(2025, 3, 12), {at(utc(2025, 3, 9, 16), 0, "second")}},
      {"a date RECURRENCE-ID names the occurrence of its day, and the newer revision wins",
       master("DTSTART:20250303T100000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY;COUNT=3\n") +
           override_of("RECURRENCE-ID:20250304T100000Z\nSEQUENCE:2\nSUMMARY:newer\nDTSTART:20250304T120000Z\n") +
           override_of("RECURRENCE-ID;VALUE=DATE:20250304\nSEQUENCE:1\nSUMMARY:older\nDTSTART:20250304T140000Z\n") +
           override_of("RECURRENCE-ID;VALUE=DATE:20250305\nSUMMARY:by day\nDTSTART:20250305T150000Z\n"),
       utc(2025, 3, 1), utc(2025, 3, 10),
       {at(utc(2025, 3, 3, 10)), at(utc(2025, 3, 4, 12), 0, "newer"), at(utc(2025, 3, 5, 15), 0, "by day")}},
      {"overrides without their master stand alone",
       override_of("RECURRENCE-ID:20250309T130000Z\nSUMMARY:lone\nDTSTART:20250309T150000Z\n"), utc(2025, 3, 5),
       utc(2025, 3, 12), {at(utc(2025, 3, 9, 15), 0, "lone")}},
      {"UNTIL in UTC is an instant",
       master("DTSTART;TZID=America/New_York:20250106T090000\nDURATION:PT1H\n"
              "RRULE:FREQ=DAILY;UNTIL=20250108T140000Z\n"),
       utc(2025, 1, 1), utc(2025, 2, 1), {at(utc(2025, 1, 6, 14)), at(utc(2025, 1, 7, 14)), at(utc(2025, 1, 8, 14))}},
      {"UNTIL a second earlier",
       master("DTSTART;TZID=America/New_York:20250106T090000\nDURATION:PT1H\n"
              "RRULE:FREQ=DAILY;UNTIL=20250108T135959Z\n"),
       utc(2025, 1, 1), utc(2025, 2, 1), {at(utc(2025, 1, 6, 14)), at(utc(2025, 1, 7, 14))}},
      {"DTSTART off the rule is still the first",
       master("DTSTART:20250305T100000Z\nDURATION:PT1H\nRRULE:FREQ=WEEKLY;BYDAY=TU;COUNT=2\n"), utc(2025, 1, 1),
       utc(2026, 1, 1), {at(utc(2025, 3, 5, 10)), at(utc(2025, 3, 11, 10))}},
      {"DTSTART on the rule counts once",
       master("DTSTART:20250304T100000Z\nDURATION:PT1H\nRRULE:FREQ=WEEKLY;BYDAY=TU;COUNT=2\n"), utc(2025, 1, 1),
       utc(2026, 1, 1), {at(utc(2025, 3, 4, 10)), at(utc(2025, 3, 11, 10))}},
      {"COUNT=1 off the rule is DTSTART alone",
       master("DTSTART:20250305T100000Z\nDURATION:PT1H\nRRULE:FREQ=WEEKLY;BYDAY=TU;COUNT=1\n"), utc(2025, 1, 1),
       utc(2026, 1, 1), {at(utc(2025, 3, 5, 10))}},
      {"a long occurrence that began before the window",
       master("DTSTART:20250301T100000Z\nDURATION:P3D\nRRULE:FREQ=WEEKLY\n"), utc(2025, 3, 10), utc(2025, 3, 11),
       {at(utc(2025, 3, 8, 10), 3 * 86400)}},
  };
  MachineSettings machine;
  machine.zone("Asia/Kathmandu");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EventFiles files;
    files.add("home/s", vcalendar(c.body));
    EXPECT_EQ(seen(files.in_window(c.window_start, c.window_end)), c.expected);
  }
}

TEST(EventSeries, ManyOverridesOfOneSeriesEachReplaceTheirOwnOccurrence) {
  // Tens of thousands of overrides: each is matched with the others by its key, not
  // against every other one (the ctest time limit catches a quadratic step).
  constexpr int kOverrides = 40000;
  std::string body = master("DTSTART:20250101T090000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY\n");
  char line[160];
  for (int day = 0; day < kOverrides; ++day) {
    WallTime w = utc_wall_time(Date{utc(2025, 1, 1, 9) + day * 86400.0});
    std::snprintf(line, sizeof line,
                  "BEGIN:VEVENT\nUID:s\nRECURRENCE-ID:%04lld%02lld%02lldT090000Z\nSUMMARY:moved %d\n"
                  "DTSTART:%04lld%02lld%02lldT093000Z\nEND:VEVENT\n",
                  static_cast<long long>(w.year), static_cast<long long>(w.month), static_cast<long long>(w.day), day,
                  static_cast<long long>(w.year), static_cast<long long>(w.month), static_cast<long long>(w.day));
    body += line;
  }
  // A later copy of one override wins over the first.
  body += override_of("RECURRENCE-ID:20250302T090000Z\nSUMMARY:again\nDTSTART:20250302T100000Z\n");
  EventFiles files;
  files.add("home/s", vcalendar(body));
  EXPECT_EQ(seen(files.in_window(utc(2025, 3, 1), utc(2025, 3, 3, 12))),
            (std::vector<Seen>{at(utc(2025, 3, 1, 9, 30), 0, "moved 59"), at(utc(2025, 3, 2, 10), 0, "again"),
                                 at(utc(2025, 3, 3, 9, 30), 0, "moved 61")}));
}

struct AllDayUntilCase {
  const char* until;
  std::vector<int> days;  // the March days that occur
};

TEST(EventSeries, AnAllDayRulesDateTimeUntilEndsOnItsOwnDateInEveryMachineZone) {
  const AllDayUntilCase cases[] = {
      {"20250305T000000Z", {1, 2, 3, 4, 5}},
      {"20250304T230000Z", {1, 2, 3, 4}},
      {"20250305T235959Z", {1, 2, 3, 4, 5}},
      {"20250305T120000", {1, 2, 3, 4, 5}},
      {"20250305", {1, 2, 3, 4, 5}},
  };
  MachineSettings settings;
  for (const char* zone : {"America/Los_Angeles", "UTC", "Pacific/Kiritimati"}) {
    settings.zone(zone);
    for (const AllDayUntilCase& c : cases) {
      EventFiles files;
      files.add("home/holiday", vcalendar(std::string("BEGIN:VEVENT\r\nUID:h\r\nDTSTART;VALUE=DATE:20250301\r\n"
                                                       "RRULE:FREQ=DAILY;UNTIL=") +
                                          c.until + "\r\nSUMMARY:Holiday\r\nEND:VEVENT\r\n"));
      // A window wide enough for every zone.
      std::vector<int> days;
      for (const auto& event : files.in_window(utc(2025, 2, 27), utc(2025, 3, 12))) {
        // The start is the day's local midnight, which lies from 14 hours before to 8
        // hours after the UTC midnight of that date in these zones.
        double after = event.start_date.seconds_since_1970 + 14 * 3600 - utc(2025, 3, 1);
        days.push_back(static_cast<int>(std::floor(after / 86400)) + 1);
      }
      EXPECT_EQ(days, c.days) << zone << " UNTIL=" << c.until;
    }
  }
}

TEST(EventSeries, AllDayAndFloatingFollowTheLocalZone) {
  const std::string birthday = vcalendar(master(
      "DTSTART;VALUE=DATE:20200309\nRRULE:FREQ=YEARLY\nEXDATE;VALUE=DATE:20240309\n"));
  const std::string standup = vcalendar(master("DTSTART:20250303T090000\nDURATION:PT15M\nRRULE:FREQ=WEEKLY;COUNT=3\n"));
  const double day = 86400 - 1;
  struct ZoneCase {
    const char* tz;
    std::vector<Seen> birthdays, standups;
  };
  const ZoneCase cases[] = {
      {"UTC",
       {at(utc(2023, 3, 9), day), at(utc(2025, 3, 9), day)},
       {at(utc(2025, 3, 3, 9), 900), at(utc(2025, 3, 10, 9), 900), at(utc(2025, 3, 17, 9), 900)}},
      {"America/New_York",
       {at(utc(2023, 3, 9, 5), day), at(utc(2025, 3, 9, 5), day - 3600)},
       {at(utc(2025, 3, 3, 14), 900), at(utc(2025, 3, 10, 13), 900), at(utc(2025, 3, 17, 13), 900)}},
      {"Asia/Kathmandu",
       {at(utc(2023, 3, 8, 18, 15), day), at(utc(2025, 3, 8, 18, 15), day)},
       {at(utc(2025, 3, 3, 3, 15), 900), at(utc(2025, 3, 10, 3, 15), 900), at(utc(2025, 3, 17, 3, 15), 900)}},
  };
  MachineSettings machine;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tz);
    machine.zone(c.tz);
    EventFiles files;
    files.add("home/birthday", birthday);
    files.add("home/standup", standup);
    std::vector<Seen> birthdays, standups;
    for (const auto& e : files.in_window(utc(2023, 1, 1), utc(2025, 12, 1))) {
      (e.calendar_item_identifier == "home/birthday" ? birthdays : standups)
          .push_back({e.start_date.seconds_since_1970, e.end_date.seconds_since_1970, e.title});
      EXPECT_EQ(e.time_zone, std::nullopt);
    }
    EXPECT_EQ(birthdays, c.birthdays);
    EXPECT_EQ(standups, c.standups);
  }
}

TEST(EventSeries, DailySince1990GivesTheWindowsOccurrencesAcrossSummerTime) {
  EventFiles files;
  files.add("home/daily", vcalendar(master("DTSTART;TZID=Europe/Berlin:19900101T090000\nDURATION:PT1H\n"
                                           "RRULE:FREQ=DAILY\n")));
  auto events = files.in_window(utc(2026, 3, 1), utc(2026, 4, 1));
  ASSERT_EQ(events.size(), 31u);
  EXPECT_EQ(events.front().start_date.seconds_since_1970, utc(2026, 3, 1, 8));
  EXPECT_EQ(events.back().start_date.seconds_since_1970, utc(2026, 3, 31, 7));  // summer time from 29 March
  EXPECT_TRUE(events.back().has_recurrence_rules);
}

TEST(EventSeries, CountedRuleEndsAfterItsCount) {
  struct CountCase {
    const char* dtstart;
    const char* rule;
    double window_start, window_end;
    std::vector<Seen> expected;
  };
  const double march = utc(2025, 3, 1);
  const CountCase cases[] = {
      {"20250101T100000Z", "FREQ=DAILY;INTERVAL=2;COUNT=10", utc(2025, 1, 19, 10, 30), march, {at(utc(2025, 1, 19, 10))}},
      {"20250101T100000Z", "FREQ=DAILY;INTERVAL=2;COUNT=10", utc(2025, 1, 19, 11), march, {}},
      {"20250101T100000Z", "FREQ=DAILY;INTERVAL=2;COUNT=10", utc(2025, 1, 23), march, {}},
      {"20250101T100000Z", "FREQ=WEEKLY;COUNT=3", utc(2025, 1, 15, 10, 30), march, {at(utc(2025, 1, 15, 10))}},
      {"20250101T100000Z", "FREQ=WEEKLY;COUNT=3", utc(2025, 1, 19), march, {}},
      {"20250101T100000Z", "FREQ=HOURLY;INTERVAL=12;COUNT=3", utc(2025, 1, 2, 10, 30), march, {at(utc(2025, 1, 2, 10))}},
      {"20250128T100000Z", "FREQ=MONTHLY;COUNT=3", utc(2025, 3, 28, 10, 30), utc(2025, 5, 1), {at(utc(2025, 3, 28, 10))}},
      {"20250128T100000Z", "FREQ=MONTHLY;COUNT=3", utc(2025, 4, 1), utc(2025, 5, 1), {}},
      {"20240301T100000Z", "FREQ=YEARLY;INTERVAL=2;COUNT=2", utc(2026, 3, 1, 10, 30), utc(2027, 1, 1), {at(utc(2026, 3, 1, 10))}},
      {"20240301T100000Z", "FREQ=YEARLY;INTERVAL=2;COUNT=2", utc(2026, 3, 4), utc(2027, 1, 1), {}},
      // Dates that some months or years lack, and BY parts (the 31st skips the short
      // months).
      {"20250131T100000Z", "FREQ=MONTHLY;COUNT=3", utc(2025, 5, 4), utc(2025, 6, 1), {at(utc(2025, 5, 31, 10))}},
      {"20240229T100000Z", "FREQ=YEARLY;COUNT=2", utc(2028, 3, 4), utc(2029, 1, 1), {}},
      {"20250101T100000Z", "FREQ=WEEKLY;BYDAY=WE;COUNT=3", utc(2025, 1, 19), march, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.dtstart) + " " + c.rule);
    EventFiles files;
    files.add("home/s", vcalendar(master(std::string("DTSTART:") + c.dtstart + "\nDURATION:PT1H\nRRULE:" + c.rule +
                                         "\n")));
    EXPECT_EQ(seen(files.in_window(c.window_start, c.window_end)), c.expected);
  }
}

TEST(EventSeries, WindowBeyondTheIteratorsYearsIsEmpty) {
  EventFiles files;
  files.add("home/daily", vcalendar(master("DTSTART:19900101T090000Z\nRRULE:FREQ=DAILY\n")));
  EXPECT_TRUE(files.in_window(utc(9999, 12, 1), utc(9999, 12, 31, 23, 59, 59)).empty());
}

TEST(EventSeries, FourYearCutBoundsAnEndlessRule) {
  EventFiles files;
  files.add("home/daily", vcalendar(master("DTSTART:20250101T100000Z\nDURATION:PT1H\nRRULE:FREQ=DAILY\n")));
  auto events = files.in_window(utc(2025, 1, 1), utc(2100, 1, 1));
  ASSERT_EQ(events.size(), 4u * 365);
  EXPECT_EQ(events.back().start_date.seconds_since_1970, utc(2025, 1, 1, 10) + (4 * 365 - 1) * 86400.0);
}

TEST(EventSeries, EverySecondIsCappedNotEndless) {
  EventFiles files;
  files.add("home/busy", vcalendar(master("DTSTART:20250101T000000Z\nRRULE:FREQ=SECONDLY\n")));
  auto events = files.in_window(utc(2025, 1, 1), utc(2029, 1, 1));
  ASSERT_EQ(events.size(), 100'000u);
  EXPECT_EQ(events.back().start_date.seconds_since_1970, utc(2025, 1, 1) + 99'999);
}

TEST(EventSeries, DefinedZoneRuleKeepsItsWallClockTime) {
  EventFiles files;
  files.add("home/s", vcalendar(std::string(testing::kWindowsBerlinZone) +
                                master("DTSTART;TZID=W. Europe Standard Time:20250323T090000\nDURATION:PT1H\n"
                                       "RRULE:FREQ=WEEKLY;COUNT=2\n")));
  EXPECT_EQ(seen(files.in_window(utc(2025, 3, 1), utc(2025, 4, 1))),
            (std::vector<Seen>{at(utc(2025, 3, 23, 8)), at(utc(2025, 3, 30, 7))}));
}

}  // namespace
}  // namespace platform::local
