#include "calendar/command/rfc3339.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace bridge {
namespace {

struct ReadCase {
  const char* text;
  std::optional<std::int64_t> unix_milliseconds;  // nothing: refused
};

class Rfc3339Read : public testing::TestWithParam<ReadCase> {};

TEST_P(Rfc3339Read, GivesTheInstantOrNothing) {
  auto parsed = parse_rfc3339(GetParam().text);
  ASSERT_EQ(parsed.has_value(), GetParam().unix_milliseconds.has_value());
  if (parsed) {
    EXPECT_EQ(parsed->unix_milliseconds, *GetParam().unix_milliseconds);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Rfc3339Read,
    testing::Values(
        // Separators and offsets.
        ReadCase{"2026-04-01T00:00:00+08:00", 1774972800000}, ReadCase{"2026-04-01t00:00:00+08:00", 1774972800000},
        ReadCase{"2026-04-01 00:00:00Z", 1775001600000}, ReadCase{"2026-04-01T00:00:00z", 1775001600000},
        ReadCase{"2026-03-31T16:00:00-00:00", 1774972800000}, ReadCase{"2026-03-31T10:30:00-05:30", 1774972800000},
        ReadCase{"2026-03-31T16:00:00+23:59", 1774886460000},
        // Fractions: any length, digits below the millisecond dropped.
        ReadCase{"1970-01-01T00:00:00.25Z", 250}, ReadCase{"1970-01-01T00:00:00.2509999999999Z", 250},
        ReadCase{"1970-01-01T00:00:00.0009Z", 0}, ReadCase{"1969-12-31T23:59:59.9999Z", -1},
        // Calendar limits, leap years and a leap second.
        ReadCase{"0000-01-01T00:00:00Z", -62167219200000}, ReadCase{"9999-12-31T23:59:59.999Z", 253402300799999},
        ReadCase{"0000-01-01T00:00:00+01:00", -62167222800000}, ReadCase{"2024-02-29T00:00:00Z", 1709164800000},
        ReadCase{"2016-12-31T23:59:60Z", 1483228800000},
        // Refused.
        ReadCase{"2026-04-01", std::nullopt}, ReadCase{"2026-04-01T00:00:00", std::nullopt},
        ReadCase{"2026-04-01T00:00Z", std::nullopt}, ReadCase{"2026-04-01T00:00:00.Z", std::nullopt},
        ReadCase{"2026-04-01T00:00:00+0800", std::nullopt}, ReadCase{"2026-04-01T00:00:00+08", std::nullopt},
        ReadCase{"2026-04-01T00:00:00+24:00", std::nullopt}, ReadCase{"2026-04-01T00:00:00+08:60", std::nullopt},
        ReadCase{"2026-04-01T00:00:00ZZ", std::nullopt}, ReadCase{" 2026-04-01T00:00:00Z", std::nullopt},
        ReadCase{"2026-04-01T00:00:00Z ", std::nullopt}, ReadCase{"2026-04-01  00:00:00Z", std::nullopt},
        ReadCase{"2026-04-01_00:00:00Z", std::nullopt}, ReadCase{"2026-4-01T00:00:00Z", std::nullopt},
        ReadCase{"12026-04-01T00:00:00Z", std::nullopt}, ReadCase{"+2026-04-01T00:00:00Z", std::nullopt},
        ReadCase{"2026-13-01T00:00:00Z", std::nullopt}, ReadCase{"2026-00-01T00:00:00Z", std::nullopt},
        ReadCase{"2026-04-31T00:00:00Z", std::nullopt}, ReadCase{"2025-02-29T00:00:00Z", std::nullopt},
        ReadCase{"2026-04-01T24:00:00Z", std::nullopt}, ReadCase{"2026-04-01T00:60:00Z", std::nullopt},
        ReadCase{"2026-04-01T00:00:61Z", std::nullopt}, ReadCase{"2026-04-01T0a:00:00Z", std::nullopt},
        // The characters next to the digits, in a digit's place and in a fraction.
        ReadCase{"2025-03-10T0/:00:00Z", std::nullopt}, ReadCase{"2025-03-10T0::00:00Z", std::nullopt},
        ReadCase{"1970-01-01T00:00:00.5/Z", std::nullopt}, ReadCase{"1970-01-01T00:00:00.5:Z", std::nullopt},
        ReadCase{"２０２６-04-01T00:00:00Z", std::nullopt}, ReadCase{"", std::nullopt}));

TEST(Rfc3339Read, TheMinusSignIsAnOffsetSignOnlyWhereAsked) {
  const char* text = "2026-03-31T10:30:00\u221205:30";
  EXPECT_FALSE(parse_rfc3339(text));
  auto parsed = parse_rfc3339(text, OffsetMinus::hyphen_or_minus_sign);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->unix_milliseconds, 1774972800000);
  EXPECT_EQ(parsed->offset_seconds, -19800);
  EXPECT_FALSE(parse_rfc3339("2026-03-31T10:30:00\xE2\x88" "05:30", OffsetMinus::hyphen_or_minus_sign));
}

struct PartialCase {
  const char* text;
  bool full_date;
  bool date_hour_minute;
};

TEST(Rfc3339Read, AFullDateAloneAndADateWithHourAndMinute) {
  const PartialCase cases[] = {
      {"2024-02-29", true, false},       {"2025-02-29", false, false},       {"2025-2-28", false, false},
      {"2025-02-28 ", false, false},     {"2025-02-28T09:30", false, true},  {"2025-02-28t09:30", false, false},
      {"2025-02-28 09:30", false, false}, {"2025-02-28T24:00", false, false}, {"2025-02-28T09:60", false, false},
      {"2025-02-28T09:30:00", false, false}, {"2025-02-28T9:30", false, false}, {"", false, false},
  };
  for (const PartialCase& c : cases) {
    EXPECT_EQ(parse_full_date(c.text).has_value(), c.full_date) << c.text;
    EXPECT_EQ(parse_date_hour_minute(c.text).has_value(), c.date_hour_minute) << c.text;
  }
  auto minute = parse_date_hour_minute("2025-02-28T09:30");
  ASSERT_TRUE(minute);
  EXPECT_EQ(minute->date, std::chrono::year{2025} / 2 / 28);
  EXPECT_EQ(minute->hour, 9);
  EXPECT_EQ(minute->minute, 30);
}

TEST(Rfc3339Read, KeepsTheWallClockFieldsAndOffset) {
  auto parsed = parse_rfc3339("2025-03-01T09:30:05.123456789123-08:45");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->year, 2025);
  EXPECT_EQ(parsed->month, 3);
  EXPECT_EQ(parsed->day, 1);
  EXPECT_EQ(parsed->hour, 9);
  EXPECT_EQ(parsed->minute, 30);
  EXPECT_EQ(parsed->second, 5);
  EXPECT_EQ(parsed->nanosecond, 123456789);
  EXPECT_EQ(parsed->offset_seconds, -(8 * 3600 + 45 * 60));
}

TEST(Rfc3339Read, ShortFractionIsScaledToNanoseconds) {
  auto parsed = parse_rfc3339("2025-03-01T09:30:05.5Z");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->nanosecond, 500000000);
}

struct WriteCase {
  std::int64_t unix_milliseconds;
  std::optional<std::string> text;
};

class Rfc3339WriteMillis : public testing::TestWithParam<WriteCase> {};

TEST_P(Rfc3339WriteMillis, WritesUtcWithMillisecondsOnlyWhenNotZero) {
  EXPECT_EQ(format_rfc3339_utc_millis(GetParam().unix_milliseconds), GetParam().text);
}

constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Instants, Rfc3339WriteMillis,
    testing::Values(WriteCase{1774972800000, "2026-03-31T16:00:00+00:00"},
                    WriteCase{1774972800250, "2026-03-31T16:00:00.250+00:00"},
                    WriteCase{1774972800001, "2026-03-31T16:00:00.001+00:00"}, WriteCase{0, "1970-01-01T00:00:00+00:00"},
                    WriteCase{-1, "1969-12-31T23:59:59.999+00:00"}, WriteCase{-1000, "1969-12-31T23:59:59+00:00"},
                    WriteCase{-62167219200000, "0000-01-01T00:00:00+00:00"},
                    WriteCase{253402300799999, "9999-12-31T23:59:59.999+00:00"},
                    WriteCase{-62167219200001, std::nullopt}, WriteCase{253402300800000, std::nullopt},
                    WriteCase{kMin, std::nullopt}, WriteCase{kMax, std::nullopt}));

TEST(Rfc3339WriteSeconds, WritesWholeSecondsInUtc) {
  EXPECT_EQ(format_rfc3339_utc_seconds(1740792600), "2025-03-01T01:30:00+00:00");
  EXPECT_EQ(format_rfc3339_utc_seconds(-62167219200), "0000-01-01T00:00:00+00:00");
  EXPECT_EQ(format_rfc3339_utc_seconds(253402300799), "9999-12-31T23:59:59+00:00");
  EXPECT_EQ(format_rfc3339_utc_seconds(253402300800), std::nullopt);
  EXPECT_EQ(format_rfc3339_utc_seconds(-62167219201), std::nullopt);
  EXPECT_EQ(format_rfc3339_utc_seconds(kMin), std::nullopt);
  EXPECT_EQ(format_rfc3339_utc_seconds(kMax), std::nullopt);
}

TEST(Rfc3339, WrittenTextReadsBackAsTheSameInstant) {
  for (std::int64_t ms : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{1774972800250},
                          std::int64_t{-62167219200000}, std::int64_t{253402300799999}}) {
    auto text = format_rfc3339_utc_millis(ms);
    ASSERT_TRUE(text);
    auto parsed = parse_rfc3339(*text);
    ASSERT_TRUE(parsed) << *text;
    EXPECT_EQ(parsed->unix_milliseconds, ms) << *text;
  }
}

}  // namespace
}  // namespace bridge
