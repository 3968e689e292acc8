// Rules that can never give a date, or give one rarely, answer in bounded work: the
// series shows its DTSTART (and what dates the rule does give), and a query ends.
// A hang is caught by the test's time limit, not by timing here.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "platform/local/ical/rule_reach.h"

namespace platform::local {
namespace {

using testing::EventFiles;
using testing::MachineSettings;
using testing::utc;
using testing::vcalendar;

// DTSTART of every case, 2025-03-01 09:00 UTC, as a wall time.
icaltimetype first_wall() { return icaltime_from_string("20250301T090000"); }

std::string series(const std::string& rule) {
  return vcalendar("BEGIN:VEVENT\nUID:h\nSUMMARY:h\nDTSTART:20250301T090000Z\nDURATION:PT1H\nRRULE:" + rule +
                   "\nEND:VEVENT\n");
}

std::vector<double> starts(const std::vector<platform::Event>& events) {
  std::vector<double> out;
  for (const auto& e : events) out.push_back(e.start_date.seconds_since_1970);
  return out;
}

// Each of these made libical's iterator search for a date until its last year (or
// year 20000): minutes for one query.
const char* const kRulesWithoutDates[] = {
    "FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=MINUTELY;BYMONTHDAY=31;BYMONTH=4",
    "FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=DAILY;BYMONTH=4,6,9,11;BYMONTHDAY=31;COUNT=5",
    "FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=-30",
    "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=YEARLY;BYMONTH=4;BYMONTHDAY=31;COUNT=3",
    "FREQ=MONTHLY;BYDAY=MO;BYSETPOS=6",
    "FREQ=MONTHLY;BYDAY=6MO",
    "FREQ=MONTHLY;INTERVAL=12;BYMONTH=2",
    "FREQ=YEARLY;INTERVAL=4;BYMONTH=2;BYMONTHDAY=29",
    "FREQ=YEARLY;BYDAY=MO;BYMONTHDAY=1,2,3,4,5,6;BYMONTH=1;BYSETPOS=2",
    "FREQ=SECONDLY;BYYEARDAY=32;BYMONTH=1",
    "FREQ=MINUTELY;BYYEARDAY=366;BYMONTH=2",
    "FREQ=HOURLY;BYDAY=1MO",
    "FREQ=DAILY;INTERVAL=7;BYDAY=MO",
};

TEST(HostileRules, ARuleThatNeverGivesADateShowsDtstartAlone) {
  MachineSettings machine;
  machine.zone("Asia/Shanghai");
  for (const char* rule : kRulesWithoutDates) {
    SCOPED_TRACE(rule);
    icalrecurrencetype parsed = icalrecurrencetype_from_string(rule);
    ASSERT_NE(parsed.freq, ICAL_NO_RECURRENCE);
    EXPECT_TRUE(rule_gives_no_date(parsed, first_wall()));
    EventFiles files;
    files.add("home/h", series(rule));
    EXPECT_EQ(starts(files.in_window(utc(2025, 2, 1), utc(2025, 4, 1))), std::vector<double>{utc(2025, 3, 1, 9)});
    EXPECT_EQ(starts(files.in_window(utc(2025, 4, 1), utc(2029, 4, 1))), std::vector<double>{});
  }
}

struct RareRuleCase {
  const char* rule;
  double window_start, window_end;
  std::vector<double> expected;  // DTSTART first when it lies in the window
};

// Rules that look alike but give dates: they are walked, and their dates shown.
TEST(HostileRules, ARareRuleStillGivesItsDates) {
  const RareRuleCase cases[] = {
      {"FREQ=DAILY;BYMONTH=2;BYMONTHDAY=29", utc(2025, 3, 1), utc(2029, 3, 1),
       {utc(2025, 3, 1, 9), utc(2028, 2, 29, 9)}},
      {"FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=29", utc(2027, 1, 1), utc(2029, 1, 1), {utc(2028, 2, 29, 9)}},
      {"FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-29", utc(2027, 1, 1), utc(2029, 1, 1), {utc(2028, 2, 1, 9)}},
      {"FREQ=MONTHLY;BYMONTH=4,5;BYMONTHDAY=31", utc(2025, 4, 1), utc(2025, 7, 1), {utc(2025, 5, 31, 9)}},
      {"FREQ=MONTHLY;INTERVAL=12;BYMONTH=3;BYDAY=5MO", utc(2025, 3, 2), utc(2027, 1, 1),
       {utc(2025, 3, 31, 9), utc(2026, 3, 30, 9)}},
      {"FREQ=YEARLY;INTERVAL=3;BYMONTH=2;BYMONTHDAY=29", utc(2025, 3, 2), utc(2035, 1, 1), {utc(2028, 2, 29, 9)}},
      {"FREQ=MONTHLY;BYDAY=MO;BYSETPOS=5", utc(2025, 3, 2), utc(2025, 7, 1), {utc(2025, 3, 31, 9), utc(2025, 6, 30, 9)}},
      {"FREQ=HOURLY;BYMONTH=3;BYMONTHDAY=2;BYHOUR=0,23", utc(2025, 3, 2), utc(2025, 3, 4),
       {utc(2025, 3, 2), utc(2025, 3, 2, 23)}},
      // 92 days after DTSTART, 132,480 minutes: the steps of seven minutes fall on 9:02.
      {"FREQ=MINUTELY;INTERVAL=7;BYHOUR=9", utc(2025, 6, 1, 8), utc(2025, 6, 1, 12),
       {utc(2025, 6, 1, 9, 2), utc(2025, 6, 1, 9, 9), utc(2025, 6, 1, 9, 16), utc(2025, 6, 1, 9, 23),
        utc(2025, 6, 1, 9, 30), utc(2025, 6, 1, 9, 37), utc(2025, 6, 1, 9, 44), utc(2025, 6, 1, 9, 51),
        utc(2025, 6, 1, 9, 58)}},
  };
  MachineSettings machine;
  machine.zone("UTC");
  for (const RareRuleCase& c : cases) {
    SCOPED_TRACE(c.rule);
    EXPECT_FALSE(rule_gives_no_date(icalrecurrencetype_from_string(c.rule), first_wall()));
    EventFiles files;
    files.add("home/h", series(c.rule));
    EXPECT_EQ(starts(files.in_window(c.window_start, c.window_end)), c.expected);
  }
}

struct SparseRuleCase {
  const char* rule;
  double from;                  // a four-year window from here
  std::optional<double> first;  // the rule's first date in it other than DTSTART, when a walk must reach it
};

// A walk lets the iterator go only a bounded number of the rule's periods past each
// date it finds, so a four-year window of a sparse rule answers, with dates in it.
TEST(HostileRules, AFourYearWindowOfASparseRuleAnswers) {
  const SparseRuleCase cases[] = {
      {"FREQ=SECONDLY;BYMONTH=2", utc(2025, 3, 1), std::nullopt},
      {"FREQ=MINUTELY;BYMONTH=2", utc(2026, 1, 20), std::nullopt},
      {"FREQ=HOURLY;BYMONTHDAY=13;BYDAY=FR", utc(2026, 1, 20), std::nullopt},
      {"FREQ=SECONDLY;BYHOUR=9;BYMINUTE=0", utc(2025, 3, 1), utc(2025, 3, 1, 9, 0, 1)},
      // Seven-minute steps from 03:00 on DTSTART's day, the first BYHOUR.
      {"FREQ=MINUTELY;INTERVAL=7;BYHOUR=3", utc(2025, 3, 1), utc(2025, 3, 2, 3, 2)},
      {"FREQ=MINUTELY;INTERVAL=7;BYHOUR=3", utc(2026, 1, 20), utc(2026, 1, 20, 3, 6)},
      {"FREQ=DAILY;BYMONTH=2;BYMONTHDAY=29;BYDAY=MO", utc(2026, 1, 20), std::nullopt},
      {"FREQ=WEEKLY;BYMONTH=2;INTERVAL=53", utc(2025, 3, 1), std::nullopt},
      {"FREQ=MINUTELY;BYMONTH=2;COUNT=100000", utc(2026, 1, 20), std::nullopt},
  };
  MachineSettings machine;
  machine.zone("UTC");
  for (const SparseRuleCase& c : cases) {
    SCOPED_TRACE(c.rule);
    EventFiles files;
    files.add("home/h", series(c.rule));
    double to = c.from + 4 * 365 * 86400.0;
    std::vector<double> found = starts(files.in_window(c.from, to));
    std::erase(found, utc(2025, 3, 1, 9));
    for (double start : found) EXPECT_TRUE(start >= c.from && start < to) << start;
    if (c.first) {
      EXPECT_EQ(found.empty() ? 0 : found.front(), *c.first);
    }
  }
}

}  // namespace
}  // namespace platform::local
