#include <gtest/gtest.h>

#include <string>

#include "calendar/reminder_recurrence/rule_conversion.h"

namespace bridge {
namespace {

constexpr const char* kMalformed = "重复规则格式无效";
constexpr const char* kTooMany = "重复规则过多";
constexpr const char* kFrequency = "重复频率无效";
constexpr const char* kRange = "重复规则超出可编辑范围，请在 Apple 提醒事项中编辑此自定义规则";
constexpr const char* kCount = "重复次数必须大于零";
constexpr const char* kEndDate = "重复结束日期无效";

Expected<RuleList> build(const std::string& json_text) {
  return build_recurrence_rules(Json::parse(json_text), std::nullopt);
}

// A JSON array of `count` copies of one rule, optionally with one other rule last.
std::string repeated(const std::string& rule, int count, const std::string& last = "") {
  std::string text = "[";
  for (int i = 0; i < count; ++i) text += (i ? "," : "") + rule;
  if (!last.empty()) text += "," + last;
  return text + "]";
}

// A list of n ones, as JSON.
std::string ones(int n) {
  std::string text = "[";
  for (int i = 0; i < n; ++i) text += i ? ",1" : "1";
  return text + "]";
}

struct BuildCase {
  const char* name;
  std::string rules;
  const char* message;  // nullptr: built
};

class BuildRecurrenceRules : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildRecurrenceRules, BuildsOrRefusesWithTheFirstFailingCheck) {
  auto result = build(GetParam().rules);
  if (GetParam().message == nullptr) {
    ASSERT_TRUE(result.ok()) << result.error().message;
  } else {
    ASSERT_TRUE(!result.ok());
    EXPECT_EQ(result.error().message, GetParam().message);
  }
}

const std::string kDaily = R"({"frequency":"daily","interval":1})";
const std::string kBadKey = R"({"frequency":"daily","interval":1,"x":1})";

std::string rule(const std::string& frequency, const std::string& extra) {
  return R"([{"frequency":")" + frequency + R"(","interval":1)" + (extra.empty() ? "" : "," + extra) + "}]";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BuildRecurrenceRules,
    testing::Values(
        // Reading, then the number of rules.
        BuildCase{"NotAnArray", R"({"frequency":"daily","interval":1})", kMalformed},
        BuildCase{"Empty", "[]", nullptr}, BuildCase{"Sixteen", repeated(kDaily, 16), nullptr},
        BuildCase{"Seventeen", repeated(kDaily, 17), kTooMany},
        BuildCase{"SeventeenOneMalformed", repeated(kDaily, 16, kBadKey), kMalformed},
        BuildCase{"SeventeenOneOutOfRange", repeated(kDaily, 16, R"({"frequency":"daily","interval":0})"), kTooMany},
        // Frequency comes first within a rule.
        BuildCase{"CapitalFrequency", rule("Weekly", ""), kFrequency},
        BuildCase{"UnknownFrequencyBeforeCount", rule("hourly", R"("end":{"count":0})"), kFrequency},
        BuildCase{"UnknownFrequencyBeforeRange", R"([{"frequency":"x","interval":0}])", kFrequency},
        // Interval.
        BuildCase{"IntervalZero", R"([{"frequency":"daily","interval":0}])", kRange},
        BuildCase{"IntervalNegative", R"([{"frequency":"daily","interval":-1}])", kRange},
        BuildCase{"IntervalAboveInt32", R"([{"frequency":"daily","interval":2147483648}])", kRange},
        BuildCase{"IntervalInt32Max", R"([{"frequency":"daily","interval":2147483647}])", nullptr},
        // First weekday on a new rule.
        BuildCase{"FirstWeekdayWithDaysOfWeek",
                  rule("weekly", R"("firstDayOfWeek":2,"daysOfWeek":[{"day":2,"week":0}])"), kRange},
        BuildCase{"FirstWeekdayWithWeeksOfYear", rule("yearly", R"("firstDayOfWeek":1,"weeksOfYear":[1])"), kRange},
        BuildCase{"FirstWeekdayWithSetPositions",
                  rule("monthly", R"("firstDayOfWeek":-1,"daysOfMonth":[1],"setPositions":[1])"), kRange},
        BuildCase{"FirstWeekdayWithDaysOfMonthOnly", rule("monthly", R"("firstDayOfWeek":2,"daysOfMonth":[1])"),
                  nullptr},
        BuildCase{"FirstWeekdayAlone", rule("weekly", R"("firstDayOfWeek":2)"), nullptr},
        // Days of the week, with the week limit of each frequency.
        BuildCase{"WeeklyWeekZero", rule("weekly", R"("daysOfWeek":[{"day":2,"week":0}])"), nullptr},
        BuildCase{"WeeklyWeekOne", rule("weekly", R"("daysOfWeek":[{"day":2,"week":1}])"), kRange},
        BuildCase{"WeeklyWeekTwoBeforeCount", rule("weekly", R"("daysOfWeek":[{"day":2,"week":2}],"end":{"count":0})"),
                  kRange},
        BuildCase{"MonthlyWeekOne", rule("monthly", R"("daysOfWeek":[{"day":2,"week":1}])"), nullptr},
        BuildCase{"MonthlyWeekMinusFive", rule("monthly", R"("daysOfWeek":[{"day":2,"week":-5}])"), nullptr},
        BuildCase{"MonthlyWeekSix", rule("monthly", R"("daysOfWeek":[{"day":2,"week":6}])"), kRange},
        BuildCase{"MonthlyWeekMinusSix", rule("monthly", R"("daysOfWeek":[{"day":2,"week":-6}])"), kRange},
        BuildCase{"YearlyWeek53", rule("yearly", R"("daysOfWeek":[{"day":7,"week":53},{"day":1,"week":-53}])"),
                  nullptr},
        BuildCase{"YearlyWeek54", rule("yearly", R"("daysOfWeek":[{"day":2,"week":54}])"), kRange},
        BuildCase{"YearlyWeekMinus54", rule("yearly", R"("daysOfWeek":[{"day":2,"week":-54}])"), kRange},
        BuildCase{"DayZero", rule("weekly", R"("daysOfWeek":[{"day":0,"week":0}])"), kRange},
        BuildCase{"DayEight", rule("weekly", R"("daysOfWeek":[{"day":8,"week":0}])"), kRange},
        BuildCase{"DailyWithDaysOfWeek", rule("daily", R"("daysOfWeek":[{"day":2,"week":0}])"), kRange},
        // Days of the month.
        BuildCase{"MonthlyLastDay", rule("monthly", R"("daysOfMonth":[-1])"), nullptr},
        BuildCase{"MonthlyDayBounds", rule("monthly", R"("daysOfMonth":[1,31,-31])"), nullptr},
        BuildCase{"MonthlyDayZero", rule("monthly", R"("daysOfMonth":[0])"), kRange},
        BuildCase{"MonthlyDay32", rule("monthly", R"("daysOfMonth":[32])"), kRange},
        BuildCase{"MonthlyDayMinus32", rule("monthly", R"("daysOfMonth":[-32])"), kRange},
        BuildCase{"YearlyWithDaysOfMonth", rule("yearly", R"("monthsOfYear":[3],"daysOfMonth":[1])"), kRange},
        BuildCase{"WeeklyWithDaysOfMonth", rule("weekly", R"("daysOfMonth":[1])"), kRange},
        BuildCase{"DaysOfMonth366Entries", rule("monthly", R"("daysOfMonth":)" + ones(366)), nullptr},
        BuildCase{"DaysOfMonth367Entries", rule("monthly", R"("daysOfMonth":)" + ones(367)), kRange},
        // Months, weeks and days of the year.
        BuildCase{"YearlyMonths", rule("yearly", R"("monthsOfYear":[1,12])"), nullptr},
        BuildCase{"YearlyMonthZero", rule("yearly", R"("monthsOfYear":[0])"), kRange},
        BuildCase{"YearlyMonth13", rule("yearly", R"("monthsOfYear":[13])"), kRange},
        BuildCase{"YearlyMonthNegative", rule("yearly", R"("monthsOfYear":[-1])"), kRange},
        BuildCase{"MonthlyWithMonths", rule("monthly", R"("monthsOfYear":[1])"), kRange},
        BuildCase{"Months367Entries", rule("yearly", R"("monthsOfYear":)" + ones(367)), kRange},
        BuildCase{"YearlyWeeks", rule("yearly", R"("weeksOfYear":[53,-53])"), nullptr},
        BuildCase{"YearlyWeekOfYearZero", rule("yearly", R"("weeksOfYear":[0])"), kRange},
        BuildCase{"YearlyWeekOfYear54", rule("yearly", R"("weeksOfYear":[54])"), kRange},
        BuildCase{"WeeklyWithWeeksOfYear", rule("weekly", R"("weeksOfYear":[1])"), kRange},
        BuildCase{"YearlyDays", rule("yearly", R"("daysOfYear":[366,-366])"), nullptr},
        BuildCase{"YearlyDayOfYearZero", rule("yearly", R"("daysOfYear":[0])"), kRange},
        BuildCase{"YearlyDayOfYear367", rule("yearly", R"("daysOfYear":[367])"), kRange},
        BuildCase{"MonthlyWithDaysOfYear", rule("monthly", R"("daysOfYear":[1])"), kRange},
        BuildCase{"DailyWithDaysOfYear", rule("daily", R"("daysOfYear":[1])"), kRange},
        // Set positions need a companion list.
        BuildCase{"SetPositionsAlone", rule("monthly", R"("setPositions":[1])"), kRange},
        BuildCase{"SetPositionsFirstMonday", rule("monthly", R"("setPositions":[1],"daysOfWeek":[{"day":2,"week":0}])"),
                  nullptr},
        BuildCase{"SetPositionsBounds", rule("yearly", R"("setPositions":[366,-366],"monthsOfYear":[1])"), nullptr},
        BuildCase{"SetPositionZero", rule("monthly", R"("setPositions":[0],"daysOfMonth":[1])"), kRange},
        BuildCase{"SetPosition367", rule("monthly", R"("setPositions":[367],"daysOfMonth":[1])"), kRange},
        BuildCase{"DailySetPositionsAlone", rule("daily", R"("setPositions":[1])"), kRange},
        BuildCase{"SetPositions367Entries", rule("monthly", R"("daysOfMonth":[1],"setPositions":)" + ones(367)),
                  kRange},
        // Ends, after every range check.
        BuildCase{"CountZero", rule("daily", R"("end":{"count":0})"), kCount},
        BuildCase{"CountOne", rule("daily", R"("end":{"count":1})"), nullptr},
        BuildCase{"CountInt32Max", rule("daily", R"("end":{"count":2147483647})"), nullptr},
        BuildCase{"CountAboveInt32", rule("daily", R"("end":{"count":2147483648})"), kCount},
        BuildCase{"CountUnsignedMax", rule("daily", R"("end":{"count":18446744073709551615})"), kCount},
        BuildCase{"CountNegative", rule("daily", R"("end":{"count":-1})"), kMalformed},
        BuildCase{"UntilDateAlone", rule("daily", R"("end":{"until":"2026-04-01"})"), kEndDate},
        BuildCase{"UntilWithoutOffset", rule("daily", R"("end":{"until":"2026-04-01T00:00:00"})"), kEndDate},
        BuildCase{"UntilEmpty", rule("daily", R"("end":{"until":""})"), kEndDate},
        BuildCase{"UntilWithSpace", rule("daily", R"("end":{"until":"2026-04-01 00:00:00Z"})"), nullptr},
        BuildCase{"EndNull", rule("daily", R"("end":null)"), nullptr},
        // The first failing rule decides.
        BuildCase{"FirstRuleRangeBeforeSecondFrequency",
                  R"([{"frequency":"daily","interval":0},{"frequency":"x","interval":1}])", kRange},
        BuildCase{"FirstRuleCountBeforeSecondFrequency",
                  R"([{"frequency":"daily","interval":1,"end":{"count":0}},{"frequency":"x","interval":1}])", kCount},
        BuildCase{"SecondRuleFails", R"([{"frequency":"daily","interval":1},{"frequency":"x","interval":1}])",
                  kFrequency}),
    [](const testing::TestParamInfo<BuildCase>& info) { return std::string(info.param.name); });

TEST(BuildRecurrenceRules, EmptyListGivesEmptyArray) {
  auto result = build("[]");
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.value().empty());
}

TEST(BuildRecurrenceRules, NewRuleCarriesEveryValueAndNoEmptyList) {
  auto result = build(R"([{"frequency":"monthly","interval":3,"daysOfWeek":[{"day":2,"week":1},{"day":6,"week":-1}],)"
                      R"("setPositions":[-1],"firstDayOfWeek":0},{"frequency":"yearly","interval":1,)"
                      R"("monthsOfYear":[3,1],"weeksOfYear":[-53],"daysOfYear":[200]}])");
  ASSERT_TRUE(result.ok());
  const RuleList& rules = result.value();
  ASSERT_EQ(rules.size(), 2u);

  const platform::RecurrenceRule& monthly = rules[0];
  EXPECT_EQ(monthly.frequency, 2);
  EXPECT_EQ(monthly.interval, 3);
  EXPECT_EQ(monthly.first_day_of_the_week, 0);
  EXPECT_EQ(monthly.days_of_the_week,
            (std::vector{platform::RecurrenceDayOfWeek::make(2, 1), platform::RecurrenceDayOfWeek::make(6, -1)}));
  EXPECT_EQ(monthly.days_of_the_month, std::nullopt);
  EXPECT_EQ(monthly.months_of_the_year, std::nullopt);
  EXPECT_EQ(monthly.weeks_of_the_year, std::nullopt);
  EXPECT_EQ(monthly.days_of_the_year, std::nullopt);
  EXPECT_EQ(monthly.set_positions, (std::vector<std::int64_t>{-1}));
  EXPECT_EQ(monthly.recurrence_end, std::nullopt);
  EXPECT_EQ(monthly.origin, nullptr);

  const platform::RecurrenceRule& yearly = rules[1];
  EXPECT_EQ(yearly.frequency, 3);
  EXPECT_EQ(yearly.days_of_the_week, std::nullopt);
  EXPECT_EQ(yearly.months_of_the_year, (std::vector<std::int64_t>{3, 1}));
  EXPECT_EQ(yearly.weeks_of_the_year, (std::vector<std::int64_t>{-53}));
  EXPECT_EQ(yearly.days_of_the_year, (std::vector<std::int64_t>{200}));
  EXPECT_EQ(yearly.set_positions, std::nullopt);
}

TEST(BuildRecurrenceRules, FrequencyNumbers) {
  auto result = build(R"([{"frequency":"daily","interval":1},{"frequency":"weekly","interval":1},)"
                      R"({"frequency":"monthly","interval":1},{"frequency":"yearly","interval":1}])");
  ASSERT_TRUE(result.ok());
  const RuleList& rules = result.value();
  ASSERT_EQ(rules.size(), 4u);
  for (std::size_t i = 0; i < rules.size(); ++i) EXPECT_EQ(rules[i].frequency, static_cast<std::int64_t>(i));
}

struct EndCase {
  const char* end;
  std::optional<platform::RecurrenceEnd> expected;
};

class BuildRecurrenceEnd : public testing::TestWithParam<EndCase> {};

TEST_P(BuildRecurrenceEnd, MakesThePlatformEnd) {
  auto result = build(std::string(R"([{"frequency":"daily","interval":1,"end":)") + GetParam().end + "}]");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value().at(0).recurrence_end, GetParam().expected);
}

platform::RecurrenceEnd until(double seconds) {
  return platform::RecurrenceEnd::with_end_date(platform::Date::with_time_interval_since_1970(seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, BuildRecurrenceEnd,
    testing::Values(EndCase{R"({"until":"2026-04-01T00:00:00+08:00"})", until(1774972800.0)},
                    EndCase{R"({"until":"2026-04-01 00:00:00Z"})", until(1775001600.0)},
                    EndCase{R"({"until":"2026-03-31t10:30:00-05:30"})", until(1774972800.0)},
                    EndCase{R"({"until":"2026-03-31T16:00:00.2509Z"})", until(1774972800.25)},
                    EndCase{R"({"until":"1969-12-31T23:59:59.9999Z"})", until(-0.001)},
                    EndCase{R"({"count":1})", platform::RecurrenceEnd::with_occurrence_count(1)},
                    EndCase{R"({"count":2147483647})", platform::RecurrenceEnd::with_occurrence_count(2147483647)},
                    EndCase{"null", std::nullopt}));

TEST(BuildRecurrenceRules, UntilRoundTripsThroughTheRecord) {
  struct Case {
    const char* sent;
    const char* reported;
  };
  for (const Case& c : {Case{"2026-04-01T00:00:00+08:00", "2026-03-31T16:00:00+00:00"},
                        Case{"2026-04-01 00:00:00Z", "2026-04-01T00:00:00+00:00"},
                        Case{"2026-03-31T16:00:00.250+00:00", "2026-03-31T16:00:00.250+00:00"},
                        Case{"2026-03-31T16:00:00.2509-00:00", "2026-03-31T16:00:00.250+00:00"},
                        Case{"0000-01-01T01:00:00+01:00", "0000-01-01T00:00:00+00:00"},
                        Case{"9999-12-31T23:59:59.999Z", "9999-12-31T23:59:59.999+00:00"}}) {
    auto result = build(std::string(R"([{"frequency":"daily","interval":1,"end":{"until":")") + c.sent + "\"}}]");
    ASSERT_TRUE(result.ok()) << c.sent;
    EXPECT_EQ(rule_to_record(result.value().at(0))["end"]["until"], c.reported) << c.sent;
  }
}

struct FirstWeekdayCase {
  const char* rule;
  bool depends;
};

class DependsOnFirstWeekday : public testing::TestWithParam<FirstWeekdayCase> {};

TEST_P(DependsOnFirstWeekday, LooksAtTheJsonAsSent) {
  EXPECT_EQ(depends_on_first_weekday(Json::parse(GetParam().rule)), GetParam().depends) << GetParam().rule;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DependsOnFirstWeekday,
    testing::Values(FirstWeekdayCase{R"({"firstDayOfWeek":2,"daysOfWeek":[{"day":2,"week":0}]})", true},
                    FirstWeekdayCase{R"({"firstDayOfWeek":1,"weeksOfYear":[1]})", true},
                    FirstWeekdayCase{R"({"firstDayOfWeek":-1,"setPositions":[1]})", true},
                    FirstWeekdayCase{R"({"firstDayOfWeek":18446744073709551615,"setPositions":["x"]})", true},
                    FirstWeekdayCase{R"({"firstDayOfWeek":0,"daysOfWeek":[{"day":2,"week":0}]})", false},
                    FirstWeekdayCase{R"({"daysOfWeek":[{"day":2,"week":0}]})", false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":2.0,"daysOfWeek":[{"day":2,"week":0}]})", false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":"2","daysOfWeek":[{"day":2,"week":0}]})", false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":true,"daysOfWeek":[{"day":2,"week":0}]})", false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":2,"daysOfWeek":[],"weeksOfYear":[],"setPositions":[]})",
                                     false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":2,"daysOfMonth":[1],"monthsOfYear":[1],"daysOfYear":[1]})",
                                     false},
                    FirstWeekdayCase{R"({"firstDayOfWeek":2,"daysOfWeek":{"day":2}})", false},
                    FirstWeekdayCase{R"([{"firstDayOfWeek":2,"daysOfWeek":[1]}])", false},
                    FirstWeekdayCase{"null", false}));

}  // namespace
}  // namespace bridge
