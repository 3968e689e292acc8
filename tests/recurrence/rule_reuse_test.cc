#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "calendar/reminder_recurrence/rule_conversion.h"

namespace bridge {
namespace {

using platform::RecurrenceDayOfWeek;
using platform::RecurrenceEnd;
using platform::RecurrenceRule;

constexpr const char* kRange = "重复规则超出可编辑范围，请在 Apple 提醒事项中编辑此自定义规则";

// Backend data of a stored rule; a reused rule must carry it along.
struct StoredOrigin : platform::ItemOrigin {};

RecurrenceRule stored(RecurrenceRule rule) {
  rule.origin = std::make_shared<StoredOrigin>();
  return rule;
}

// The stored weekly rule on Mondays whose weeks start on Monday.
RecurrenceRule weekly_mondays(std::optional<RecurrenceEnd> end = std::nullopt) {
  RecurrenceRule rule = RecurrenceRule::make(1, 1, std::vector{RecurrenceDayOfWeek::make(2, 0)}, {}, {}, {}, {}, {},
                                             std::move(end));
  rule.first_day_of_the_week = 2;
  return stored(std::move(rule));
}

RecurrenceRule monthly_on(std::int64_t day) {
  return stored(RecurrenceRule::make(2, 1, {}, std::vector<std::int64_t>{day}, {}, {}, {}, {}, {}));
}

RuleList build_ok(const std::string& json_text, const RuleList& current) {
  auto result = build_recurrence_rules(Json::parse(json_text), current);
  if (!result.ok()) {
    ADD_FAILURE() << result.error().message;
    return {};
  }
  return result.value();
}

constexpr const char* kWeeklyMondays =
    R"({"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"frequency":"weekly","interval":1})";

TEST(RuleReuse, StoredWeeklyRuleReadsWithItsFirstWeekday) {
  EXPECT_EQ(rule_to_record(weekly_mondays()).dump(), kWeeklyMondays);
}

TEST(RuleReuse, UnchangedRuleIsCopied) {
  RuleList current{weekly_mondays(RecurrenceEnd::with_occurrence_count(5))};
  RuleList built = build_ok(R"([{"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"frequency":"weekly",)"
                            R"("interval":1,"end":{"count":5}}])",
                            current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, current[0].origin);
  EXPECT_EQ(built[0].first_day_of_the_week, 2);
  EXPECT_EQ(rule_to_record(built[0]), rule_to_record(current[0]));
}

TEST(RuleReuse, ChangedEndIsSetOnTheCopyOnly) {
  RuleList current{weekly_mondays(RecurrenceEnd::with_occurrence_count(5))};
  RuleList built = build_ok(R"([{"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"frequency":"weekly",)"
                            R"("interval":1,"end":{"until":"2026-04-01T00:00:00+08:00"}}])",
                            current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, current[0].origin);
  EXPECT_EQ(built[0].first_day_of_the_week, 2);
  EXPECT_EQ(built[0].recurrence_end,
            RecurrenceEnd::with_end_date(platform::Date::with_time_interval_since_1970(1774972800.0)));
  EXPECT_EQ(current[0].recurrence_end, RecurrenceEnd::with_occurrence_count(5));
}

TEST(RuleReuse, DroppedEndIsRemovedFromTheCopy) {
  RuleList current{weekly_mondays(RecurrenceEnd::with_occurrence_count(5))};
  RuleList built = build_ok(std::string("[") + kWeeklyMondays + "]", current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, current[0].origin);
  EXPECT_EQ(built[0].recurrence_end, std::nullopt);
}

TEST(RuleReuse, ChangedIntervalWithFirstWeekdayIsRefused) {
  RuleList current{weekly_mondays()};
  auto result = build_recurrence_rules(
      Json::parse(R"([{"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"frequency":"weekly","interval":2}])"),
      current);
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(result.error().message, kRange);
}

TEST(RuleReuse, ChangedIntervalWithoutFirstWeekdayIsBuiltAnew) {
  RuleList current{weekly_mondays()};
  RuleList built =
      build_ok(R"([{"daysOfWeek":[{"day":2,"week":0}],"frequency":"weekly","interval":2}])", current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, nullptr);
  EXPECT_EQ(built[0].first_day_of_the_week, 0);
  EXPECT_EQ(built[0].interval, 2);
}

TEST(RuleReuse, RulesAreMatchedByPositionOnly) {
  RuleList current{monthly_on(1), monthly_on(15)};
  RuleList built = build_ok(R"([{"frequency":"monthly","interval":1,"daysOfMonth":[15]},)"
                            R"({"frequency":"monthly","interval":1,"daysOfMonth":[1]}])",
                            current);
  ASSERT_EQ(built.size(), 2u);
  EXPECT_EQ(built[0].origin, nullptr);
  EXPECT_EQ(built[1].origin, nullptr);
  EXPECT_EQ(built[0].days_of_the_month, (std::vector<std::int64_t>{15}));
  EXPECT_EQ(built[1].days_of_the_month, (std::vector<std::int64_t>{1}));
}

TEST(RuleReuse, SwappedFirstWeekdayRulesAreRefused) {
  RuleList current{weekly_mondays(), monthly_on(1)};
  auto result = build_recurrence_rules(
      Json::parse(std::string(R"([{"frequency":"monthly","interval":1,"daysOfMonth":[1]},)") + kWeeklyMondays + "]"),
      current);
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(result.error().message, kRange);
}

TEST(RuleReuse, RulesBeyondTheStoredOnesAreNew) {
  RuleList current{monthly_on(1)};
  RuleList built = build_ok(R"([{"frequency":"monthly","interval":1,"daysOfMonth":[1]},)"
                            R"({"frequency":"monthly","interval":1,"daysOfMonth":[1]}])",
                            current);
  ASSERT_EQ(built.size(), 2u);
  EXPECT_EQ(built[0].origin, current[0].origin);
  EXPECT_EQ(built[1].origin, nullptr);
}

TEST(RuleReuse, StoredOutOfRangeRuleIsReportedButRefusedWhenSentBack) {
  RecurrenceRule daily_with_days =
      stored(RecurrenceRule::make(0, 1, std::vector{RecurrenceDayOfWeek::make(2, 0)}, {}, {}, {}, {}, {}, {}));
  Json record = rule_to_record(daily_with_days);
  EXPECT_EQ(record.dump(), R"({"daysOfWeek":[{"day":2,"week":0}],"frequency":"daily","interval":1})");

  auto result = build_recurrence_rules(Json::array({record}), RuleList{daily_with_days});
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(result.error().message, kRange);
}

TEST(RuleReuse, StoredEmptyListsMatchAbsentKeys) {
  RecurrenceRule rule = stored(RecurrenceRule::make(0, 1, std::vector<RecurrenceDayOfWeek>{},
                                                    std::vector<std::int64_t>{}, {}, {}, {}, {}, {}));
  RuleList current{rule};
  RuleList built = build_ok(R"([{"frequency":"daily","interval":1,"daysOfMonth":[],"firstDayOfWeek":0}])", current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, current[0].origin);
}

TEST(RuleReuse, StoredRuleWithUnreadableEndIsStillMatched) {
  // An end date beyond the writable years reads as no end; the end is never compared anyway.
  RuleList current{stored(RecurrenceRule::make(
      0, 1, {}, {}, {}, {}, {}, {},
      RecurrenceEnd::with_end_date(platform::Date::with_time_interval_since_1970(1e300))))};
  RuleList built = build_ok(R"([{"frequency":"daily","interval":1,"end":{"count":2}}])", current);
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].origin, current[0].origin);
  EXPECT_EQ(built[0].recurrence_end, RecurrenceEnd::with_occurrence_count(2));
}

}  // namespace
}  // namespace bridge
