#include "calendar/apple/calendar_color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using bridge::calendar_color_hex;
using platform::Color;
using platform::RgbComponents;

struct ColorCase {
  const char* name;
  RgbComponents srgb;
  const char* expected;
};

TEST(CalendarColorHex, ComponentsBecomeUpperCaseHexBytes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const ColorCase cases[] = {
      {"pink", {1.0, 0.0, 0.5}, "#FF0080"},
      {"grey", {0.2, 0.2, 0.2}, "#333333"},
      {"black", {0.0, 0.0, 0.0}, "#000000"},
      {"white", {1.0, 1.0, 1.0}, "#FFFFFF"},
      {"extended range clamps", {1.2, -0.1, 0.5}, "#FF0080"},
      {"not a number is zero", {nan, 1.0, nan}, "#00FF00"},
      {"infinities clamp", {inf, -inf, 0.0}, "#FF0000"},
      // x/255 + half a step lies exactly halfway and goes up; just below it goes down.
      {"half rounds away from zero", {0.5 / 255.0, 1.5 / 255.0, 254.5 / 255.0}, "#0102FF"},
      {"just below half rounds down", {0.49 / 255.0, 1.49 / 255.0, 254.49 / 255.0}, "#0001FE"},
      {"low digits are padded", {10.0 / 255.0, 11.0 / 255.0, 171.0 / 255.0}, "#0A0BAB"},
  };
  for (const ColorCase& c : cases) {
    EXPECT_EQ(calendar_color_hex(Color{c.srgb}), c.expected) << c.name;
  }
}

TEST(CalendarColorHex, NoSrgbFormGivesNothing) { EXPECT_EQ(calendar_color_hex(Color{}), std::nullopt); }

}  // namespace
