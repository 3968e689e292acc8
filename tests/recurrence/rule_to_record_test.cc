#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "calendar/reminder_recurrence/rule_conversion.h"

namespace bridge {
namespace {

using platform::Date;
using platform::RecurrenceEnd;
using platform::RecurrenceRule;

RecurrenceRule daily() { return RecurrenceRule::make(0, 1, {}, {}, {}, {}, {}, {}, {}); }

RecurrenceRule daily_ending(RecurrenceEnd end) {
  RecurrenceRule rule = daily();
  rule.recurrence_end = end;
  return rule;
}

RecurrenceRule ending_on(double seconds) {
  return daily_ending(RecurrenceEnd::with_end_date(Date::with_time_interval_since_1970(seconds)));
}

struct RecordCase {
  const char* name;
  RecurrenceRule rule;
  const char* record;
};

class RuleToRecord : public testing::TestWithParam<RecordCase> {};

TEST_P(RuleToRecord, WritesTheStoredRuleUnchecked) { EXPECT_EQ(rule_to_record(GetParam().rule).dump(), GetParam().record); }

RecurrenceRule weekly_mondays_first_weekday_2() {
  RecurrenceRule rule = RecurrenceRule::make(1, 1, std::vector{platform::RecurrenceDayOfWeek::make(2, 0)}, {}, {}, {},
                                             {}, {}, {});
  rule.first_day_of_the_week = 2;
  return rule;
}

RecurrenceRule every_list() {
  return RecurrenceRule::make(3, 2, std::vector{platform::RecurrenceDayOfWeek::make(1, -1),
                                                platform::RecurrenceDayOfWeek::make(7, 53)},
                              std::vector<std::int64_t>{-1}, std::vector<std::int64_t>{12, 1},
                              std::vector<std::int64_t>{-53}, std::vector<std::int64_t>{366},
                              std::vector<std::int64_t>{-1, 1}, RecurrenceEnd::with_occurrence_count(10));
}

RecurrenceRule empty_lists() {
  return RecurrenceRule::make(2, 1, std::vector<platform::RecurrenceDayOfWeek>{}, std::vector<std::int64_t>{},
                              std::vector<std::int64_t>{}, std::vector<std::int64_t>{}, std::vector<std::int64_t>{},
                              std::vector<std::int64_t>{}, {});
}

RecurrenceRule out_of_range() {
  RecurrenceRule rule = RecurrenceRule::make(0, 0, std::vector{platform::RecurrenceDayOfWeek::make(9, 60)},
                                             std::vector<std::int64_t>{0}, {}, {}, {}, std::vector<std::int64_t>{400},
                                             RecurrenceEnd::with_occurrence_count(4294967296));
  rule.first_day_of_the_week = -3;
  return rule;
}

RecurrenceRule with_frequency(std::int64_t frequency) {
  RecurrenceRule rule = daily();
  rule.frequency = frequency;
  return rule;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleToRecord,
    testing::Values(
        RecordCase{"WeeklyWithFirstWeekday", weekly_mondays_first_weekday_2(),
                   R"({"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"frequency":"weekly","interval":1})"},
        RecordCase{"EveryList", every_list(),
                   R"({"daysOfMonth":[-1],"daysOfWeek":[{"day":1,"week":-1},{"day":7,"week":53}],"daysOfYear":[366],)"
                   R"("end":{"count":10},"frequency":"yearly","interval":2,"monthsOfYear":[12,1],)"
                   R"("setPositions":[-1,1],"weeksOfYear":[-53]})"},
        RecordCase{"EmptyListsLeftOut", empty_lists(), R"({"frequency":"monthly","interval":1})"},
        RecordCase{"OutOfRangeReportedInFull", out_of_range(),
                   R"({"daysOfMonth":[0],"daysOfWeek":[{"day":9,"week":60}],"end":{"count":4294967296},)"
                   R"("firstDayOfWeek":-3,"frequency":"daily","interval":0,"setPositions":[400]})"},
        RecordCase{"FrequencyThreeIsYearly", with_frequency(3), R"({"frequency":"yearly","interval":1})"},
        RecordCase{"FrequencySevenIsYearly", with_frequency(7), R"({"frequency":"yearly","interval":1})"},
        RecordCase{"NegativeFrequencyIsYearly", with_frequency(-1), R"({"frequency":"yearly","interval":1})"},
        // Ends.
        RecordCase{"UntilInUtc", ending_on(1774972800.0),
                   R"({"end":{"until":"2026-03-31T16:00:00+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilWithMilliseconds", ending_on(1774972800.25),
                   R"({"end":{"until":"2026-03-31T16:00:00.250+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilHalfRoundsUp", ending_on(0.0625),
                   R"({"end":{"until":"1970-01-01T00:00:00.063+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilNegativeHalfRoundsAwayFromZero", ending_on(-0.0625),
                   R"({"end":{"until":"1969-12-31T23:59:59.937+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilRoundsIntoNextSecond", ending_on(1.0 - 1.0 / 2048),
                   R"({"end":{"until":"1970-01-01T00:00:01+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilFirstWritableInstant", ending_on(-62167219200.0),
                   R"({"end":{"until":"0000-01-01T00:00:00+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"UntilBeforeYearZeroHasNoEnd", ending_on(-62167219200.0 - 0.001),
                   R"({"frequency":"daily","interval":1})"},
        RecordCase{"UntilAfterYear9999HasNoEnd", ending_on(253402300800.0), R"({"frequency":"daily","interval":1})"},
        RecordCase{"UntilHugeHasNoEnd", ending_on(1e300), R"({"frequency":"daily","interval":1})"},
        RecordCase{"UntilNaNHasNoEnd", ending_on(kNaN), R"({"frequency":"daily","interval":1})"},
        RecordCase{"UntilInfiniteHasNoEnd", ending_on(-kInfinity), R"({"frequency":"daily","interval":1})"},
        RecordCase{"EndDateWinsOverCount",
                   daily_ending(RecurrenceEnd{Date::with_time_interval_since_1970(0), 5}),
                   R"({"end":{"until":"1970-01-01T00:00:00+00:00"},"frequency":"daily","interval":1})"},
        RecordCase{"Count", daily_ending(RecurrenceEnd::with_occurrence_count(18446744073709551615u)),
                   R"({"end":{"count":18446744073709551615},"frequency":"daily","interval":1})"},
        RecordCase{"CountZeroIsNoEnd", daily_ending(RecurrenceEnd::with_occurrence_count(0)),
                   R"({"frequency":"daily","interval":1})"},
        RecordCase{"NoEnd", daily(), R"({"frequency":"daily","interval":1})"}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bridge
