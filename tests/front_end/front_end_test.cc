#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

#include "calendar/apple/front_end.h"
#include "calendar/command/json_input.h"
#include "double/platform_double.h"

namespace {

using bridge::CommandHandler;
using bridge::FrontEndOutput;
using double_platform::PlatformDouble;

struct RouteCase {
  std::string command;
  CommandHandler handler;
  std::string sub_command;
};

class CommandRoutes : public testing::TestWithParam<RouteCase> {};

TEST_P(CommandRoutes, MatchWholeTextsAndTheRemindersPrefix) {
  bridge::CommandRoute route = bridge::route_command(GetParam().command);
  EXPECT_EQ(route.handler, GetParam().handler) << GetParam().command;
  EXPECT_EQ(route.sub_command, GetParam().sub_command) << GetParam().command;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandRoutes,
    testing::Values(RouteCase{"status", CommandHandler::status, ""},
                    RouteCase{"connect", CommandHandler::connect, ""},
                    RouteCase{"calendars", CommandHandler::calendars, ""},
                    RouteCase{"events", CommandHandler::events, ""},
                    RouteCase{"reminders-read", CommandHandler::reminders, "read"},
                    RouteCase{"reminders-", CommandHandler::reminders, ""},
                    RouteCase{"reminders-reminders-status", CommandHandler::reminders, "status"},
                    RouteCase{"reminders-reminders-reminders-", CommandHandler::reminders, ""},
                    RouteCase{"reminders-remindersstatus", CommandHandler::reminders, "remindersstatus"},
                    RouteCase{"reminders-Status ", CommandHandler::reminders, "Status "},
                    RouteCase{"reminders-status-reminders-", CommandHandler::reminders, "status-reminders-"},
                    RouteCase{"", CommandHandler::unknown, ""}, RouteCase{"Status", CommandHandler::unknown, ""},
                    RouteCase{"STATUS", CommandHandler::unknown, ""}, RouteCase{" status", CommandHandler::unknown, ""},
                    RouteCase{"status ", CommandHandler::unknown, ""}, RouteCase{"event", CommandHandler::unknown, ""},
                    RouteCase{"calendars\n", CommandHandler::unknown, ""},
                    RouteCase{"reminders", CommandHandler::unknown, ""},
                    RouteCase{"reminders-status"s.substr(0, 9), CommandHandler::unknown, ""},
                    RouteCase{"Reminders-status", CommandHandler::unknown, ""},
                    RouteCase{" reminders-status", CommandHandler::unknown, ""},
                    RouteCase{"remindersstatus", CommandHandler::unknown, ""},
                    RouteCase{std::string("status\0", 7), CommandHandler::unknown, ""}));

constexpr const char* kStatus0 = "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":false}\n";

struct UnknownCase {
  std::vector<std::string> args;
  std::string message;
};

class UnknownCommands : public testing::TestWithParam<UnknownCase> {};

TEST_P(UnknownCommands, FailWithTheTextAsReceivedAndTouchNoPlatform) {
  int platform_asked = 0;
  PlatformDouble p;
  auto supplier = [&]() -> platform::Platform* {
    ++platform_asked;
    return &p;
  };
  FrontEndOutput out = bridge::run_front_end(supplier, GetParam().args, bridge::Json::object());
  EXPECT_EQ(out.standard_error, GetParam().message + "\n");
  EXPECT_EQ(out.standard_output, "");
  EXPECT_EQ(out.exit_status, 1);
  EXPECT_EQ(platform_asked, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, UnknownCommands,
    testing::Values(UnknownCase{{}, "未知的日历命令："}, UnknownCase{{""}, "未知的日历命令："},
                    UnknownCase{{"Status"}, "未知的日历命令：Status"},
                    UnknownCase{{" status"}, "未知的日历命令： status"},
                    UnknownCase{{"reminders", "status"}, "未知的日历命令：reminders"},
                    UnknownCase{{"日历\n\"x\""}, "未知的日历命令：日历\n\"x\""},
                    // Bytes that are not UTF-8 are shown as U+FFFD, one per ill-formed sequence.
                    UnknownCase{{"\xff"}, "未知的日历命令：\uFFFD"},
                    UnknownCase{{"stat\xc0\xafus"}, "未知的日历命令：stat\uFFFD\uFFFDus"},
                    UnknownCase{{"a\xe4\xb8"}, "未知的日历命令：a\uFFFD"},
                    UnknownCase{{"\xed\xa0\x80"}, "未知的日历命令：\uFFFD\uFFFD\uFFFD"},
                    // Not UTF-8, so not a reminders sub-command either.
                    UnknownCase{{"reminders-\xe4\xb8"}, "未知的日历命令：reminders-\uFFFD"},
                    UnknownCase{{"status\x80"}, "未知的日历命令：status\uFFFD"}));

TEST(FrontEnd, StatusRepliesWhateverTheInputAndArguments) {
  for (const std::string input : {"", "{}", "[1,2]", "garbage", "{\"account\":\"x\"}", "[[[[[[[[[["}) {
    PlatformDouble p;
    FrontEndOutput out = bridge::run_front_end([&] { return &p; }, {"status", "extra", "\xff"}, bridge::read_parameters(input));
    EXPECT_EQ(out.standard_output, kStatus0) << input;
    EXPECT_EQ(out.standard_error, "");
    EXPECT_EQ(out.exit_status, 0);
    EXPECT_EQ(p.counters().stores_opened, 0);
    EXPECT_EQ(p.counters().full_access_requests + p.counters().legacy_access_requests, 0);
  }
}

TEST(FrontEnd, MissingPlatformIsAFailureNotACrash) {
  FrontEndOutput out = bridge::run_front_end([]() -> platform::Platform* { return nullptr; }, {"status"},
                                             bridge::Json::object());
  EXPECT_EQ(out.standard_error, "无法打开日历数据库\n");
  EXPECT_EQ(out.standard_output, "");
  EXPECT_EQ(out.exit_status, 1);
}

}  // namespace
