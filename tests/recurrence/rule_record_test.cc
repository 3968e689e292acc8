#include "calendar/reminder_recurrence/rule_record.h"

#include <gtest/gtest.h>

#include <string>

namespace bridge {
namespace {

// Reads a JSON array of one or more rules and writes every rule back.
std::optional<std::string> read_and_write(const std::string& json_text) {
  auto rules = read_rules(Json::parse(json_text));
  if (!rules) return std::nullopt;
  Json written = Json::array();
  for (const Rule& rule : *rules) written.push_back(write_rule(rule));
  return written.dump();
}

struct ReadCase {
  const char* name;
  const char* input;
  const char* written;  // nullptr: the whole list is malformed
};

class RuleRecordRead : public testing::TestWithParam<ReadCase> {};

TEST_P(RuleRecordRead, ReadsStrictlyAndWritesWithOmissions) {
  auto written = read_and_write(GetParam().input);
  if (GetParam().written == nullptr) {
    EXPECT_FALSE(written) << *written;
  } else {
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, GetParam().written);
  }
}

std::string case_name(const testing::TestParamInfo<ReadCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Readable, RuleRecordRead,
    testing::Values(
        ReadCase{"WeeklyOnMondays", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0}]}])",
                 R"([{"daysOfWeek":[{"day":2,"week":0}],"frequency":"weekly","interval":1}])"},
        ReadCase{"DefaultsAreNotWritten",
                 R"([{"frequency":"daily","interval":1,"firstDayOfWeek":0,"daysOfMonth":[],"daysOfWeek":[],)"
                 R"("monthsOfYear":[],"weeksOfYear":[],"daysOfYear":[],"setPositions":[],"end":null}])",
                 R"([{"frequency":"daily","interval":1}])"},
        ReadCase{"EveryKeyInByteOrder",
                 R"([{"setPositions":[-1],"weeksOfYear":[53],"monthsOfYear":[1],"interval":3,"frequency":"yearly",)"
                 R"("firstDayOfWeek":2,"end":{"count":4},"daysOfYear":[-366],"daysOfWeek":[{"week":-1,"day":7}],)"
                 R"("daysOfMonth":[31]}])",
                 R"([{"daysOfMonth":[31],"daysOfWeek":[{"day":7,"week":-1}],"daysOfYear":[-366],"end":{"count":4},)"
                 R"("firstDayOfWeek":2,"frequency":"yearly","interval":3,"monthsOfYear":[1],"setPositions":[-1],)"
                 R"("weeksOfYear":[53]}])"},
        ReadCase{"NoRangeChecks",
                 R"([{"frequency":"Weekly","interval":0,"daysOfWeek":[{"day":9,"week":99}],"daysOfMonth":[0]}])",
                 R"([{"daysOfMonth":[0],"daysOfWeek":[{"day":9,"week":99}],"frequency":"Weekly","interval":0}])"},
        ReadCase{"EmptyFrequencyText", R"([{"frequency":"","interval":-5}])", R"([{"frequency":"","interval":-5}])"},
        ReadCase{"SignedLimits",
                 R"([{"frequency":"daily","interval":9223372036854775807,"daysOfYear":[-9223372036854775808]}])",
                 R"([{"daysOfYear":[-9223372036854775808],"frequency":"daily","interval":9223372036854775807}])"},
        ReadCase{"CountZero", R"([{"frequency":"daily","interval":1,"end":{"count":0}}])",
                 R"([{"end":{"count":0},"frequency":"daily","interval":1}])"},
        ReadCase{"CountUnsignedMax", R"([{"frequency":"daily","interval":1,"end":{"count":18446744073709551615}}])",
                 R"([{"end":{"count":18446744073709551615},"frequency":"daily","interval":1}])"},
        ReadCase{"UntilTextIsNotChecked", R"([{"frequency":"daily","interval":1,"end":{"until":"2026-04-01"}}])",
                 R"([{"end":{"until":"2026-04-01"},"frequency":"daily","interval":1}])"},
        ReadCase{"UntilKeptAsWritten",
                 R"([{"frequency":"daily","interval":1,"end":{"until":"2026-04-01T00:00:00+08:00"}}])",
                 R"([{"end":{"until":"2026-04-01T00:00:00+08:00"},"frequency":"daily","interval":1}])"},
        ReadCase{"EmptyArray", R"([])", R"([])"},
        ReadCase{"SeveralRulesInOrder", R"([{"frequency":"yearly","interval":2},{"frequency":"daily","interval":1}])",
                 R"([{"frequency":"yearly","interval":2},{"frequency":"daily","interval":1}])"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Malformed, RuleRecordRead,
    testing::Values(
        ReadCase{"Object", R"({"frequency":"daily","interval":1})", nullptr}, ReadCase{"Text", R"("daily")", nullptr},
        ReadCase{"Number", "1", nullptr}, ReadCase{"True", "true", nullptr}, ReadCase{"Null", "null", nullptr},
        ReadCase{"RuleNotObject", "[1]", nullptr}, ReadCase{"RuleNull", "[null]", nullptr},
        ReadCase{"RuleAsArray", R"([["daily",1]])", nullptr},
        ReadCase{"MissingFrequency", R"([{"interval":1}])", nullptr},
        ReadCase{"MissingInterval", R"([{"frequency":"daily"}])", nullptr},
        ReadCase{"UnknownRuleKey", R"([{"frequency":"daily","interval":1,"byHour":[9]}])", nullptr},
        ReadCase{"FrequencyNull", R"([{"frequency":null,"interval":1}])", nullptr},
        ReadCase{"FrequencyNumber", R"([{"frequency":0,"interval":1}])", nullptr},
        ReadCase{"IntervalNull", R"([{"frequency":"daily","interval":null}])", nullptr},
        ReadCase{"IntervalFraction", R"([{"frequency":"daily","interval":1.0}])", nullptr},
        ReadCase{"IntervalExponent", R"([{"frequency":"daily","interval":1e2}])", nullptr},
        ReadCase{"IntervalText", R"([{"frequency":"daily","interval":"1"}])", nullptr},
        ReadCase{"IntervalBoolean", R"([{"frequency":"daily","interval":true}])", nullptr},
        ReadCase{"IntervalAboveSigned", R"([{"frequency":"daily","interval":9223372036854775808}])", nullptr},
        ReadCase{"IntervalBelowSigned", R"([{"frequency":"daily","interval":-9223372036854775809}])", nullptr},
        ReadCase{"ListNull", R"([{"frequency":"monthly","interval":1,"daysOfMonth":null}])", nullptr},
        ReadCase{"ListObject", R"([{"frequency":"monthly","interval":1,"daysOfMonth":{}}])", nullptr},
        ReadCase{"ListFraction", R"([{"frequency":"yearly","interval":1,"monthsOfYear":[2.0]}])", nullptr},
        ReadCase{"ListText", R"([{"frequency":"yearly","interval":1,"weeksOfYear":["1"]}])", nullptr},
        ReadCase{"ListAboveSigned", R"([{"frequency":"yearly","interval":1,"daysOfYear":[9223372036854775808]}])",
                 nullptr},
        ReadCase{"ListNullEntry", R"([{"frequency":"yearly","interval":1,"setPositions":[null]}])", nullptr},
        ReadCase{"DayMissingWeek", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2}]}])", nullptr},
        ReadCase{"DayMissingDay", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"week":0}]}])", nullptr},
        ReadCase{"DayUnknownKey",
                 R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0,"x":1}]}])", nullptr},
        ReadCase{"DayFraction", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2.0,"week":0}]}])",
                 nullptr},
        ReadCase{"DayNullWeek", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":null}]}])",
                 nullptr},
        ReadCase{"DayAsNumber", R"([{"frequency":"weekly","interval":1,"daysOfWeek":[2]}])", nullptr},
        ReadCase{"FirstDayNull", R"([{"frequency":"weekly","interval":1,"firstDayOfWeek":null}])", nullptr},
        ReadCase{"FirstDayFraction", R"([{"frequency":"weekly","interval":1,"firstDayOfWeek":2.0}])", nullptr},
        ReadCase{"EndEmpty", R"([{"frequency":"daily","interval":1,"end":{}}])", nullptr},
        ReadCase{"EndBothKeys", R"([{"frequency":"daily","interval":1,"end":{"count":1,"until":"x"}}])", nullptr},
        ReadCase{"EndUnknownKey", R"([{"frequency":"daily","interval":1,"end":{"after":1}}])", nullptr},
        ReadCase{"EndExtraKey", R"([{"frequency":"daily","interval":1,"end":{"count":1,"x":1}}])", nullptr},
        ReadCase{"UntilNotText", R"([{"frequency":"daily","interval":1,"end":{"until":20260401}}])", nullptr},
        ReadCase{"UntilNull", R"([{"frequency":"daily","interval":1,"end":{"until":null}}])", nullptr},
        ReadCase{"CountNegative", R"([{"frequency":"daily","interval":1,"end":{"count":-1}}])", nullptr},
        ReadCase{"CountFraction", R"([{"frequency":"daily","interval":1,"end":{"count":1.5}}])", nullptr},
        ReadCase{"CountAboveUnsigned", R"([{"frequency":"daily","interval":1,"end":{"count":18446744073709551616}}])",
                 nullptr},
        ReadCase{"CountText", R"([{"frequency":"daily","interval":1,"end":{"count":"3"}}])", nullptr},
        ReadCase{"EndText", R"([{"frequency":"daily","interval":1,"end":"2026-04-01T00:00:00Z"}])", nullptr},
        ReadCase{"EndArray", R"([{"frequency":"daily","interval":1,"end":[]}])", nullptr},
        ReadCase{"OneBadAmongGood",
                 R"([{"frequency":"daily","interval":1},{"frequency":"daily","interval":1,"extra":true}])", nullptr}),
    case_name);

TEST(RuleRecordRead, KeepsEveryValueInOrder) {
  auto rules = read_rules(Json::parse(
      R"([{"frequency":"monthly","interval":2,"daysOfWeek":[{"day":2,"week":1},{"day":6,"week":-1}],)"
      R"("daysOfMonth":[3,1,2],"setPositions":[1],"firstDayOfWeek":7,"end":{"until":"x"}}])"));
  ASSERT_TRUE(rules);
  ASSERT_EQ(rules->size(), 1u);
  Rule expected;
  expected.frequency = "monthly";
  expected.interval = 2;
  expected.days_of_week = {{2, 1}, {6, -1}};
  expected.days_of_month = {3, 1, 2};
  expected.set_positions = {1};
  expected.first_day_of_week = 7;
  expected.end = Until{"x"};
  EXPECT_EQ((*rules)[0], expected);
}

TEST(RuleRecordWrite, CountKeepsTheFullUnsignedRange) {
  Rule rule;
  rule.frequency = "daily";
  rule.interval = 1;
  rule.end = Count{18446744073709551615u};
  EXPECT_EQ(write_rule(rule).dump(), R"({"end":{"count":18446744073709551615},"frequency":"daily","interval":1})");
}

TEST(RuleRecordFrequency, TextsAndNumbers) {
  EXPECT_EQ(frequency_number("daily"), 0);
  EXPECT_EQ(frequency_number("weekly"), 1);
  EXPECT_EQ(frequency_number("monthly"), 2);
  EXPECT_EQ(frequency_number("yearly"), 3);
  for (const char* text : {"Weekly", "DAILY", "yearly ", "", "hourly"}) EXPECT_EQ(frequency_number(text), std::nullopt);
  EXPECT_EQ(frequency_text(0), "daily");
  EXPECT_EQ(frequency_text(1), "weekly");
  EXPECT_EQ(frequency_text(2), "monthly");
  for (std::int64_t number : {std::int64_t{3}, std::int64_t{4}, std::int64_t{-1}, INT64_MIN, INT64_MAX}) {
    EXPECT_EQ(frequency_text(number), "yearly");
  }
}

}  // namespace
}  // namespace bridge
