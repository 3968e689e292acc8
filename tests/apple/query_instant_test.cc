#include "calendar/apple/query_instant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using bridge::Failure;
using bridge::parse_query_instant;

struct AcceptCase {
  const char* text;
  double seconds_since_1970;
};

TEST(ParseQueryInstant, AcceptsEveryRfc3339Form) {
  const AcceptCase cases[] = {
      {"2025-03-09T14:05:00Z", 1741529100.0},
      {"2025-03-09 14:05:00Z", 1741529100.0},
      {"2025-03-09t14:05:00.123456789+00:00", 1741529100.123},
      {"2025-03-09T14:05:00z", 1741529100.0},
      {"2025-03-09T22:05:00+08:00", 1741529100.0},
      {"2025-03-09T19:50:00+05:45", 1741529100.0},
      {"2025-03-09T10:35:00-03:30", 1741529100.0},
      {"2025-03-09T10:35:00\u221203:30", 1741529100.0},  // Unicode minus sign
      {"2025-03-09T14:05:00-00:00", 1741529100.0},
      {"2025-03-09T14:05:00.5Z", 1741529100.5},
      {"2025-03-09T14:05:00.0009Z", 1741529100.0},  // below a millisecond: dropped
      {"2025-03-09T14:05:00.999999Z", 1741529100.999},
      {"1970-01-01T00:00:00Z", 0.0},
      {"1969-12-31T23:59:59.500Z", -0.5},
      {"0000-01-01T00:00:00Z", -62167219200.0},
      {"9999-12-31T23:59:59+23:59", 253402300799.0 - 23 * 3600 - 59 * 60},
      {"2024-02-29T00:00:00Z", 1709164800.0},
      {"2016-12-31T23:59:60Z", 1483228800.0},  // leap second: the next second
  };
  for (const AcceptCase& c : cases) {
    auto result = parse_query_instant(c.text);
    ASSERT_TRUE(result.ok()) << c.text;
    EXPECT_DOUBLE_EQ(result.value().seconds_since_1970, c.seconds_since_1970) << c.text;
  }
}

TEST(ParseQueryInstant, RefusesEverythingElseNamingTheText) {
  const char* cases[] = {
      "",
      "2025-03-09",
      "2025-03-09T14:05:00",          // no offset
      "2025-03-09T14:05Z",            // no seconds
      "2025-03-09T14:05:00Z ",        // extra character
      " 2025-03-09T14:05:00Z",
      "2025-03-09T14:05:00+0800",     // offset without colon
      "2025-03-09T14:05:00+08",
      "2025-03-09T14:05:00.Z",        // fraction without digits
      "2025-03-09T14:05:00,5Z",
      "2025-03-09X14:05:00Z",
      "2025-03-09  14:05:00Z",
      "2025-3-09T14:05:00Z",
      "25-03-09T14:05:00Z",
      "+2025-03-09T14:05:00Z",
      "2025-13-09T14:05:00Z",
      "2025-00-09T14:05:00Z",
      "2025-02-29T14:05:00Z",         // not a leap year
      "2025-04-31T14:05:00Z",
      "2025-03-00T14:05:00Z",
      "2025-03-09T24:00:00Z",
      "2025-03-09T14:60:00Z",
      "2025-03-09T14:05:61Z",
      "2025-03-09T14:05:00+24:00",
      "2025-03-09T14:05:00+08:60",
      "2025-03-09T14:05:00\u2013" "08:00",  // en dash is no minus sign
      "2025-03-09T14:05:00\xE2\x88",         // cut inside the minus sign
      "２０２５-03-09T14:05:00Z",           // full-width digits
      "2025-03-09T14:05:00ZZ",
      "not a date",
  };
  for (const char* text : cases) {
    auto result = parse_query_instant(text);
    ASSERT_TRUE(!result.ok()) << text;
    EXPECT_EQ(result.error().message, std::string("无法解析日期 ") + text);
  }
}

}  // namespace
