#include <gtest/gtest.h>

#include <string>

#include "calendar/command/reply_output.h"

namespace {

using bridge::CommandOutcome;
using bridge::FrontEndOutput;
using bridge::Json;
using bridge::render_outcome;

std::string reply_text(const Json& value) {
  FrontEndOutput out = render_outcome(CommandOutcome(value));
  EXPECT_EQ(out.exit_status, 0);
  EXPECT_EQ(out.standard_error, "");
  return out.standard_output;
}

struct EscapeCase {
  std::string text;
  std::string written;
};

class ReplyStrings : public testing::TestWithParam<EscapeCase> {};

TEST_P(ReplyStrings, AreEscapedAsTheProtocolSays) {
  EXPECT_EQ(reply_text(GetParam().text), "\"" + GetParam().written + "\"\n");
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, ReplyStrings,
    testing::Values(EscapeCase{"\"", "\\\""}, EscapeCase{"\\", "\\\\"}, EscapeCase{"\b", "\\b"},
                    EscapeCase{"\t", "\\t"}, EscapeCase{"\n", "\\n"}, EscapeCase{"\f", "\\f"},
                    EscapeCase{"\r", "\\r"}, EscapeCase{std::string(1, '\0'), "\\u0000"},
                    EscapeCase{"\x01", "\\u0001"}, EscapeCase{"\x0b", "\\u000b"}, EscapeCase{"\x0e", "\\u000e"},
                    EscapeCase{"\x1f", "\\u001f"}, EscapeCase{"\x1b[0m", "\\u001b[0m"},
                    // Everything else is raw, non-ASCII text included.
                    EscapeCase{" /~", " /~"}, EscapeCase{"\x7f", "\x7f"}, EscapeCase{"中文提醒", "中文提醒"},
                    EscapeCase{"\u2028\u2029", "\u2028\u2029"}, EscapeCase{"😀é", "😀é"},
                    EscapeCase{"a\nb\"c", "a\\nb\\\"c"}));

TEST(ReplyForm, ObjectKeysComeInByteOrderWhateverTheBuildOrder) {
  Json reply = Json::object();
  reply["denied"] = false;
  reply["available"] = true;
  reply["é"] = 1;
  reply["_"] = 2;
  reply["Zeta"] = 3;
  reply["alpha"] = Json::object({{"b", 1}, {"a", 2}});
  EXPECT_EQ(reply_text(reply),
            "{\"Zeta\":3,\"_\":2,\"alpha\":{\"a\":2,\"b\":1},\"available\":true,\"denied\":false,\"é\":1}\n");
}

TEST(ReplyForm, IsCompactAndKeepsIntegersApartFromFractions) {
  Json reply = {{"list", Json::array({1, 1.0, -2, 0.5, nullptr, "s"})}, {"empty", Json::object()},
                {"none", Json::array()}};
  EXPECT_EQ(reply_text(reply), "{\"empty\":{},\"list\":[1,1.0,-2,0.5,null,\"s\"],\"none\":[]}\n");
}

TEST(ReplyForm, InvalidUtf8BecomesAFailureWithTheLibrarysText) {
  const std::pair<Json, std::string> cases[] = {
      {Json("a\xff"), "[json.exception.type_error.316] invalid UTF-8 byte at index 1: 0xFF\n"},
      {Json{{"k\xc3", 1}}, "[json.exception.type_error.316] incomplete UTF-8 string; last byte: 0xC3\n"},
  };
  for (const auto& [reply, message] : cases) {
    FrontEndOutput out = render_outcome(CommandOutcome(reply));
    EXPECT_EQ(out.exit_status, 1);
    EXPECT_EQ(out.standard_output, "");
    EXPECT_EQ(out.standard_error, message);
  }
}

TEST(ReplyForm, FailureIsTheMessageAndOneLineFeed) {
  for (const std::string message : {"还没有 Apple 日历权限", "", "two\nlines"}) {
    FrontEndOutput out = render_outcome(CommandOutcome(bridge::Failure{message}));
    EXPECT_EQ(out.exit_status, 1);
    EXPECT_EQ(out.standard_output, "");
    EXPECT_EQ(out.standard_error, message + "\n");
  }
}

}  // namespace
