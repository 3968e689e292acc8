#include "text/white_space.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TrimCase {
  std::string input;
  std::string trimmed;
};

class TrimWhiteSpace : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimWhiteSpace, DropsWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(text::trim_white_space(GetParam().input), GetParam().trimmed);
  EXPECT_EQ(text::is_blank(GetParam().input), GetParam().trimmed.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimWhiteSpace,
    testing::Values(TrimCase{"", ""}, TrimCase{" \t\r\n", ""}, TrimCase{" word ", "word"},
                    TrimCase{"\u3000\u00a0a b\u2029", "a b"},      // ideographic and no-break spaces
                    TrimCase{"\u200b", "\u200b"},                  // zero-width space is no White_Space
                    TrimCase{"\u0085x\u180e", "x\u180e"},          // NEL is, the Mongolian separator no longer
                    TrimCase{"\xff ", "\xff"},                     // a bad byte is content
                    TrimCase{" \xe3\x80", "\xe3\x80"}));           // so is a cut sequence

}  // namespace
