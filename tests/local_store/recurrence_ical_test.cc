#include "platform/local/ical/recurrence_ical.h"

#include <gtest/gtest.h>

namespace platform::local {
namespace {

struct IntervalRead {
  const char* rrule;
  std::int64_t interval;
};

class RuleIntervalRead : public testing::TestWithParam<IntervalRead> {};

TEST_P(RuleIntervalRead, KeepsTheWrittenInterval) {
  auto rule = rule_from_rrule_value(GetParam().rrule);
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->interval, GetParam().interval);
}

INSTANTIATE_TEST_SUITE_P(Values, RuleIntervalRead,
                         testing::Values(IntervalRead{"FREQ=DAILY", 1}, IntervalRead{"FREQ=DAILY;INTERVAL=2", 2},
                                         IntervalRead{"FREQ=WEEKLY;INTERVAL=32767", 32767},
                                         IntervalRead{"FREQ=WEEKLY;INTERVAL=32768;BYDAY=MO", 32768},
                                         IntervalRead{"FREQ=DAILY;interval=2147483647", 2147483647},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=2147483648", 1},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=0", 1},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=-3", 1},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=", 1},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=1/", 1},
                                         IntervalRead{"FREQ=DAILY;INTERVAL=1:", 1}));

struct IntervalWrite {
  std::int64_t interval;
  std::optional<RecurrenceEnd> end;
  std::optional<std::vector<std::int64_t>> days_of_the_month;
  const char* rrule;
};

class RuleIntervalWrite : public testing::TestWithParam<IntervalWrite> {};

TEST_P(RuleIntervalWrite, WritesTheIntervalWhereLibicalWould) {
  RecurrenceRule rule;
  rule.frequency = 2;
  rule.interval = GetParam().interval;
  rule.recurrence_end = GetParam().end;
  rule.days_of_the_month = GetParam().days_of_the_month;
  EXPECT_EQ(rrule_value_of(rule).value_or("<none>"), GetParam().rrule);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RuleIntervalWrite,
    testing::Values(IntervalWrite{1, std::nullopt, std::nullopt, "FREQ=MONTHLY"},
                    IntervalWrite{0, std::nullopt, std::nullopt, "FREQ=MONTHLY"},
                    IntervalWrite{40000, std::nullopt, std::nullopt, "FREQ=MONTHLY;INTERVAL=40000"},
                    IntervalWrite{2147483647, RecurrenceEnd::with_occurrence_count(3), std::vector<std::int64_t>{1},
                                  "FREQ=MONTHLY;COUNT=3;INTERVAL=2147483647;BYMONTHDAY=1"},
                    IntervalWrite{2147483648, std::nullopt, std::vector<std::int64_t>{-1},
                                  "FREQ=MONTHLY;INTERVAL=2147483647;BYMONTHDAY=-1"}));

TEST(RuleInterval, StoredRuleKeepsItsLargeIntervalThroughACopy) {
  auto rule = rule_from_rrule_value("FREQ=YEARLY;INTERVAL=99999;BYHOUR=9;UNTIL=20300101T000000Z");
  ASSERT_TRUE(rule);
  EXPECT_EQ(rrule_value_of(*rule).value_or("<none>"), "FREQ=YEARLY;UNTIL=20300101T000000Z;INTERVAL=99999;BYHOUR=9");
}

}  // namespace
}  // namespace platform::local
