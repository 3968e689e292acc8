#include <gtest/gtest.h>

#include "text/utf8_text.h"

namespace {

struct Utf8Case {
  const char* bytes;
  const char* valid;    // each maximal ill-formed subpart one U+FFFD
  const char* escaped;  // each byte of it as %XX
};

const Utf8Case kCases[] = {
    {"plain", "plain", "plain"},
    {"caf\xc3\xa9", "caf\xc3\xa9", "caf\xc3\xa9"},
    {"bad\xff\xfe", "bad\xef\xbf\xbd\xef\xbf\xbd", "bad%FF%FE"},
    {"cut \xe2\x82", "cut \xef\xbf\xbd", "cut %E2%82"},
    {"\xe2\x82" "a\xc0\xaf", "\xef\xbf\xbd" "a\xef\xbf\xbd\xef\xbf\xbd", "%E2%82a%C0%AF"},
    {"surrogate \xed\xa0\x80", "surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd", "surrogate %ED%A0%80"},
};

TEST(Utf8Text, IllFormedBytesAreReplacedOrEscaped) {
  for (const Utf8Case& c : kCases) {
    EXPECT_EQ(text::valid_utf8(c.bytes), c.valid) << c.bytes;
    EXPECT_EQ(text::escaped_utf8(c.bytes), c.escaped) << c.bytes;
    EXPECT_TRUE(text::is_valid_utf8(text::escaped_utf8(c.bytes))) << c.bytes;
  }
}

}  // namespace
