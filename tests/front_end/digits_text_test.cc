#include "calendar/command/digits_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

namespace {

// The date texts were written with printf before: every value and width must give
// printf's bytes.
TEST(DigitsText, WritesWhatPrintfWrites) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
  for (std::int64_t value : {std::int64_t{0}, std::int64_t{1}, std::int64_t{9}, std::int64_t{10}, std::int64_t{59},
                             std::int64_t{99}, std::int64_t{100}, std::int64_t{999}, std::int64_t{1000},
                             std::int64_t{2025}, std::int64_t{9999}, std::int64_t{10000}, std::int64_t{123456789},
                             std::int64_t{-1}, std::int64_t{-5}, std::int64_t{-10}, std::int64_t{-123}, kMost, kLeast,
                             kLeast + 1}) {
    for (int width : {0, 1, 2, 3, 4, 6, 9}) {
      char expected[64];
      std::string written = "x";
      if (value >= 0) {
        std::snprintf(expected, sizeof expected, "x%0*llu", width, static_cast<unsigned long long>(value));
        bridge::append_padded(written, static_cast<std::uint64_t>(value), width);
        EXPECT_EQ(written, expected) << value << " width " << width;
        written = "x";
      }
      std::snprintf(expected, sizeof expected, "x%0*lld", width, static_cast<long long>(value));
      bridge::append_padded_signed(written, value, width);
      EXPECT_EQ(written, expected) << value << " width " << width;
    }
  }
  std::string written;
  bridge::append_padded(written, std::numeric_limits<std::uint64_t>::max(), 2);
  EXPECT_EQ(written, "18446744073709551615");
}

// Offsets as both date writers wrote them with printf: seconds dropped, the sign
// of a negative offset kept when it is less than a minute.
TEST(DigitsText, OffsetIsWhatPrintfWrote) {
  for (std::int64_t offset : {0, 59, -59, 3599, 20700, -12600, 50400, -43200, 86399, -86399, -2147483647 - 1}) {
    long long magnitude = offset < 0 ? -offset : offset;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%c%02lld:%02lld", offset < 0 ? '-' : '+', magnitude / 3600,
                  magnitude % 3600 / 60);
    std::string written;
    bridge::append_offset(written, offset);
    EXPECT_EQ(written, expected) << offset;
  }
}

}  // namespace
