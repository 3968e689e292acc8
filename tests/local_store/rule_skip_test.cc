// A walk that skips ahead to a window lands only on dates the rule gives: the oracle
// is a walk of the same rule from DTSTART.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "platform/local/events/rule_walk.h"

namespace platform::local {
namespace {

using testing::EventFiles;
using testing::MachineSettings;
using testing::utc;
using testing::vcalendar;

struct SkipCase {
  const char* rule;
  double window_days;  // how long a window is asked for, some such lengths after DTSTART
};

// Every frequency, with intervals that divide its next unit and that do not.
const SkipCase kCases[] = {
    {"FREQ=SECONDLY;INTERVAL=7", 0.3},
    {"FREQ=SECONDLY;INTERVAL=30", 0.3},
    {"FREQ=SECONDLY;INTERVAL=11;BYMINUTE=0,10,20,30,40,50", 0.3},
    {"FREQ=MINUTELY;INTERVAL=7", 0.5},
    {"FREQ=MINUTELY;INTERVAL=15", 0.5},           {"FREQ=MINUTELY;INTERVAL=13;BYHOUR=8,9", 2},
    {"FREQ=MINUTELY;BYMINUTE=10,40;BYSECOND=5", 1}, {"FREQ=HOURLY;INTERVAL=5", 2},
    {"FREQ=HOURLY;INTERVAL=6", 2},                {"FREQ=HOURLY;INTERVAL=7;BYMINUTE=0,30", 3},
    {"FREQ=HOURLY;BYHOUR=3,9,20", 3},             {"FREQ=DAILY;INTERVAL=3", 20},
    {"FREQ=DAILY;INTERVAL=10;BYHOUR=8,17", 40},   {"FREQ=WEEKLY;INTERVAL=3;BYDAY=MO,FR", 60},
    {"FREQ=WEEKLY;INTERVAL=2", 60},               {"FREQ=MONTHLY;INTERVAL=5;BYMONTHDAY=9,-1", 400},
    {"FREQ=MONTHLY;INTERVAL=2;BYDAY=-1FR", 400},  {"FREQ=YEARLY;INTERVAL=3;BYMONTH=4,7", 2000},
};

std::vector<double> dates_within(const std::vector<double>& walls, double from, double to) {
  std::vector<double> out;
  for (double wall : walls) {
    if (wall >= from && wall < to) out.push_back(wall);
  }
  return out;
}

TEST(RuleSkip, ASkipAheadGivesTheDatesOfAWalkFromDtstart) {
  const icaltimetype first = icaltime_from_string("20070409T070000");
  const double dtstart = utc(2007, 4, 9, 7);
  for (const SkipCase& c : kCases) {
    SCOPED_TRACE(c.rule);
    icalrecurrencetype rule = icalrecurrencetype_from_string(c.rule);
    for (double after_days : {c.window_days * 7.3, c.window_days * 19.9}) {
      double from = dtstart + after_days * 86400, to = from + c.window_days * 86400;
      RuleSteps whole = walk_rule(rule, first, dtstart, to);
      RuleSteps skipped = walk_rule(rule, first, from, to);
      std::vector<double> expected = dates_within(whole.walls, from, to);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(dates_within(skipped.walls, from, to), expected) << "from day " << after_days;
    }
  }
}

// The reported case: every five hours from 07:00 on 9 April falls on 00:00, 05:00 and
// 10:00 on 1 June, whatever the machine's zone.
TEST(RuleSkip, AnIntervalOfHoursKeepsItsScheduleInAWindowFarFromDtstart) {
  MachineSettings machine;
  for (const char* zone : {"UTC", "America/New_York", "Asia/Kathmandu", "Pacific/Kiritimati"}) {
    SCOPED_TRACE(zone);
    machine.zone(zone);
    EventFiles files;
    files.add("home/r", vcalendar("BEGIN:VEVENT\nUID:r\nDTSTART:20070409T070000Z\nDURATION:PT1H\n"
                                  "RRULE:FREQ=HOURLY;INTERVAL=5\nEND:VEVENT\n"));
    std::vector<double> starts;
    for (const auto& e : files.in_window(utc(2007, 6, 1), utc(2007, 6, 1, 12))) {
      starts.push_back(e.start_date.seconds_since_1970);
    }
    EXPECT_EQ(starts, (std::vector<double>{utc(2007, 6, 1), utc(2007, 6, 1, 5), utc(2007, 6, 1, 10)}));
  }
}

}  // namespace
}  // namespace platform::local
