#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "calendar/command/json_input.h"

namespace {

using bridge::Json;
using bridge::read_parameters;

struct InputCase {
  std::string input;
  Json expected;
};

class ParameterInput : public testing::TestWithParam<InputCase> {};

TEST_P(ParameterInput, IsOneDocumentOrAnEmptyObject) {
  Json value = read_parameters(GetParam().input);
  EXPECT_EQ(value, GetParam().expected) << GetParam().input;
  // Integers stay apart from fractional numbers.
  EXPECT_EQ(value.is_number_float(), GetParam().expected.is_number_float()) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParameterInput,
    testing::Values(
        InputCase{"", Json::object()}, InputCase{" \t\r\n", Json::object()},
        InputCase{R"({"calendarIds":["a"]})", Json{{"calendarIds", {"a"}}}},
        InputCase{" \n{\"a\":1}\t\r\n ", Json{{"a", 1}}},
        // A JSON array reaches the handler as the array.
        InputCase{"[1,\"x\"]", Json::array({1, "x"})}, InputCase{"\"text\"", "text"}, InputCase{"null", nullptr},
        InputCase{"42", 42}, InputCase{"-7", -7}, InputCase{"1.0", 1.0}, InputCase{"18446744073709551615", 18446744073709551615u},
        InputCase{"{\"k\":\"中文\\n\"}", Json{{"k", "中文\n"}}},
        // Everything else is unreadable and counts as an empty object.
        InputCase{"{\"a\":1} x", Json::object()}, InputCase{"{\"a\":1}{}", Json::object()},
        InputCase{"{\"a\":1}\n\n[", Json::object()}, InputCase{std::string("{}\0", 3), Json::object()},
        InputCase{"not json", Json::object()}, InputCase{"{\"a\":1", Json::object()},
        InputCase{"[1,]", Json::object()}, InputCase{"{\"a\":1,}", Json::object()},
        InputCase{"{'a':1}", Json::object()}, InputCase{"/* note */ {}", Json::object()},
        InputCase{"[1] // note", Json::object()}, InputCase{"NaN", Json::object()},
        InputCase{"1e400", Json::object()}, InputCase{"01", Json::object()},
        InputCase{"\"\xff\"", Json::object()}, InputCase{"\"\\ud800\"", Json::object()},
        InputCase{"\"tab\tinside\"", Json::object()}, InputCase{"{\"a\":1} \x0b", Json::object()}));

std::string with_nul(std::string_view before, std::string_view after = "") {
  return std::string(before) + std::string(1, '\0') + std::string(after);
}

// The parser ends its input at a NUL byte; no NUL may pass for the end.
INSTANTIATE_TEST_SUITE_P(
    NulBytes, ParameterInput,
    testing::Values(InputCase{with_nul("{\"a\":1}"), Json::object()}, InputCase{with_nul("{\"a\":1}\n"), Json::object()},
                    InputCase{with_nul("{\"a\":1}", " \t\r\n"), Json::object()},
                    InputCase{with_nul("{\"a\":1}", "{\"b\":2}"), Json::object()},
                    InputCase{with_nul("[1,2]"), Json::object()}, InputCase{with_nul("42"), Json::object()},
                    InputCase{with_nul("\"text\""), Json::object()}, InputCase{with_nul("{\"a\":\"x", "y\"}"), Json::object()},
                    InputCase{with_nul("", "{\"a\":1}"), Json::object()}, InputCase{with_nul(""), Json::object()},
                    // Escaped, a NUL is text like any other.
                    InputCase{"{\"a\":\"x\\u0000y\"}", Json{{"a", with_nul("x", "y")}}}));

std::string nested_arrays(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

std::string nested_objects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "{\"a\":";
  text += "1";
  text += std::string(depth, '}');
  return text;
}

int depth_of(const Json& value) {
  int depth = 0;
  const Json* at = &value;
  while (at->is_structured()) {
    ++depth;
    if (at->empty()) break;
    at = at->is_array() ? &at->front() : &at->begin().value();
  }
  return depth;
}

TEST(ParameterNesting, AllowsDepth127AndRefuses128) {
  EXPECT_EQ(depth_of(read_parameters(nested_arrays(127))), 127);
  EXPECT_EQ(depth_of(read_parameters(nested_objects(127))), 127);
  EXPECT_EQ(read_parameters(nested_arrays(128)), Json::object());
  EXPECT_EQ(read_parameters(nested_objects(128)), Json::object());
  // Depth counts open containers, not how many were opened in total.
  std::string siblings = "[" + nested_arrays(126) + "," + nested_arrays(126) + "]";
  EXPECT_EQ(depth_of(read_parameters(siblings)), 127);
}

TEST(ParameterNesting, VeryDeepInputIsRefusedWithoutRecursion) {
  EXPECT_EQ(read_parameters(std::string(1000000, '[')), Json::object());
  EXPECT_EQ(read_parameters(nested_arrays(200000)), Json::object());
}

// A document cut at any byte is either still a document or unreadable, never harm.
TEST(ParameterInputCut, EveryPrefixParsesOrGivesAnEmptyObject) {
  const std::string documents[] = {
      R"({"calendarIds":["a","b\u00e9"],"start":"2025-03-01T00:00:00+08:00","n":-12.5e3,"ok":true,"x":null})",
      "123456", "  [ {\"中文\": \"提醒\\\"事项\"} , 0.5 ]  "};
  for (const std::string& document : documents) {
    for (std::size_t length = 0; length <= document.size(); ++length) {
      std::string prefix = document.substr(0, length);
      Json expected = Json::accept(prefix) ? Json::parse(prefix) : Json::object();
      EXPECT_EQ(read_parameters(prefix), expected) << prefix;
    }
  }
}

struct Pipe {
  int read_end = -1, write_end = -1;
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    read_end = fds[0];
    write_end = fds[1];
  }
  ~Pipe() {
    if (read_end >= 0) close(read_end);
    if (write_end >= 0) close(write_end);
  }
  void write_text(const std::string& text) { ASSERT_EQ(write(write_end, text.data(), text.size()), ssize_t(text.size())); }
  void close_writer() {
    close(write_end);
    write_end = -1;
  }
};

TEST(ParameterDescriptor, ReadsTheDocumentToTheEndOfInput) {
  Pipe pipe;
  pipe.write_text("{\"a\":[1,2]}\n");
  pipe.close_writer();
  EXPECT_EQ(bridge::read_parameters_from(pipe.read_end), (Json{{"a", {1, 2}}}));
}

TEST(ParameterDescriptor, StopsAtTheFirstFailureWithoutWaitingForTheEnd) {
  // The writer stays open: reading on would block, so a result proves reading stopped.
  for (const std::string& text : {std::string("{} x"), std::string("{]"), nested_arrays(128).substr(0, 128),
                                  with_nul("{\"a\":1}"), with_nul("{\"a\":1} ", " ")}) {
    Pipe pipe;
    pipe.write_text(text);
    EXPECT_EQ(bridge::read_parameters_from(pipe.read_end), Json::object()) << text;
  }
}

TEST(ParameterDescriptor, ReadsInputLargerThanOneChunk) {
  char path[] = "/tmp/bridge-params-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  unlink(path);
  std::string big = "[\"" + std::string(300000, 'x') + "\"," + std::string(200000, ' ') + "1]";
  ASSERT_EQ(write(fd, big.data(), big.size()), ssize_t(big.size()));
  lseek(fd, 0, SEEK_SET);
  Json value = bridge::read_parameters_from(fd);
  close(fd);
  ASSERT_TRUE(value.is_array());
  EXPECT_EQ(value[0].get<std::string>().size(), 300000u);
  EXPECT_EQ(value[1], 1);
}

TEST(ParameterDescriptor, ReadErrorsGiveAnEmptyObject) {
  EXPECT_EQ(bridge::read_parameters_from(-1), Json::object());
  int directory = open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(directory, 0);
  EXPECT_EQ(bridge::read_parameters_from(directory), Json::object());
  close(directory);
}

}  // namespace
