#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "support/temp_folder.h"

namespace {

using cli::Invocation;
using cli::OutputStream;
using cli::RunResult;

Invocation shell(std::string script) {
  Invocation inv;
  inv.program = "/bin/sh";
  inv.args = {"-c", std::move(script)};
  return inv;
}

// The runner itself: big outputs on both streams while big input is written never block.
TEST(CliRunner, DrainsLargeOutputsWhileWritingLargeInput) {
  Invocation inv = shell("cat; head -c 3000000 /dev/zero >&2; exit 7");
  inv.input = std::string(2000000, 'x');
  RunResult r = cli::run(inv);
  EXPECT_EQ(r.exit_status, 7);
  EXPECT_EQ(r.out, inv.input);
  EXPECT_EQ(r.err.size(), 3000000u);
  EXPECT_FALSE(r.timed_out);
}

TEST(CliRunner, AppliesEnvironmentChanges) {
  Invocation inv = shell("printf '%s|%s' \"$BRIDGE_RUNNER_SET\" \"${HOME-unset}\"");
  inv.env = {{"BRIDGE_RUNNER_SET", "yes"}, {"HOME", std::nullopt}};
  EXPECT_EQ(cli::run(inv).out, "yes|unset");
}

TEST(CliRunner, ReportsSignalsAndClosedStreams) {
  Invocation killed = shell("kill -TERM $$");
  RunResult r = cli::run(killed);
  EXPECT_EQ(r.exit_status, -1);
  EXPECT_EQ(r.signal, SIGTERM);

  Invocation no_stdin = shell("cat; echo done");
  no_stdin.close_stdin = true;
  no_stdin.input = "ignored";
  EXPECT_EQ(cli::run(no_stdin).out, "done\n");
}

TEST(CliRunner, TempDirWritesReadsAndRemovesReadOnlyFolders) {
  std::filesystem::path root;
  {
    test_support::TempFolder dir;
    root = dir.path();
    dir.write("a/b/c.txt", "hello");
    EXPECT_EQ(dir.read("a/b/c.txt"), "hello");
    EXPECT_EQ(dir.read("missing"), std::nullopt);
    std::filesystem::permissions(dir.path() / "a", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

// --- the bridge ---

constexpr const char* kUnknown = "未知的日历命令：";

struct UnknownCase {
  std::vector<std::string> args;
  std::string err;
};

class UnknownCommandCli : public testing::TestWithParam<UnknownCase> {};

TEST_P(UnknownCommandCli, PrintsTheMessageAloneAndExitsWithOne) {
  RunResult r = cli::run_bridge(GetParam().args, "{\"a\":1}");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, GetParam().err);
  EXPECT_TRUE(r.input_written);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, UnknownCommandCli,
    testing::Values(UnknownCase{{}, std::string(kUnknown) + "\n"}, UnknownCase{{""}, std::string(kUnknown) + "\n"},
                    UnknownCase{{"Status"}, std::string(kUnknown) + "Status\n"},
                    UnknownCase{{"STATUS"}, std::string(kUnknown) + "STATUS\n"},
                    UnknownCase{{"status "}, std::string(kUnknown) + "status \n"},
                    UnknownCase{{" calendars"}, std::string(kUnknown) + " calendars\n"},
                    UnknownCase{{"reminders"}, std::string(kUnknown) + "reminders\n"},
                    UnknownCase{{"remindersstatus", "status"}, std::string(kUnknown) + "remindersstatus\n"},
                    UnknownCase{{"日历", "--verbose"}, std::string(kUnknown) + "日历\n"},
                    UnknownCase{{"a\nb"}, std::string(kUnknown) + "a\nb\n"},
                    UnknownCase{{"\xff\xfe"}, std::string(kUnknown) + "\uFFFD\uFFFD\n"},
                    UnknownCase{{"reminders-\xe4\xb8"}, std::string(kUnknown) + "reminders-\uFFFD\n"}));

TEST(FrontEndCli, ProgramNameThatIsNotUtf8ChangesNothing) {
  Invocation inv;
  inv.argv0 = "\xff\xfe" "bridge";
  inv.args = {"nope"};
  RunResult r = cli::run(inv);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, std::string(kUnknown) + "nope\n");
}

// Standard input is read to its end before the command is looked at, whatever it holds.
TEST(FrontEndCli, ReadsAnyStandardInputBeforeFailingTheCommand) {
  const std::string inputs[] = {"", "garbage", "{} x", std::string(200, '['), std::string(4000000, ' '),
                                std::string("\0\xff{", 3), "[" + std::string(3000000, '1') + "]"};
  for (const std::string& input : inputs) {
    RunResult r = cli::run_bridge({"unknown"}, input);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string(kUnknown) + "unknown\n");
    EXPECT_TRUE(r.input_written) << input.size();
  }
}

TEST(FrontEndCli, UnreadableStandardInputIsNoFailureOfItsOwn) {
  Invocation closed;
  closed.close_stdin = true;
  closed.args = {"x"};
  Invocation directory;
  directory.stdin_path = "/";
  directory.args = {"x"};
  for (const Invocation& inv : {closed, directory}) {
    RunResult r = cli::run(inv);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string(kUnknown) + "x\n");
  }
}

TEST(FrontEndCli, UnwritableStandardErrorNeitherCrashesNorSucceeds) {
  for (OutputStream mode : {OutputStream::closed, OutputStream::broken_pipe, OutputStream::full_device}) {
    Invocation inv;
    inv.args = {"x"};
    inv.stderr_stream = mode;
    RunResult r = cli::run(inv);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
  }
}

// --- "status" against a local store ---

constexpr const char* kStatus0 = "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":false}\n";

Invocation in_store(const test_support::TempFolder& root, std::vector<std::string> args, std::string input = "{}") {
  Invocation inv;
  inv.args = std::move(args);
  inv.input = std::move(input);
  inv.env = {{"CALENDAR_STORE_DIR", root.str()}};
  return inv;
}

struct StatusCase {
  const char* record;  // access.json, or nullptr for none
  const char* reply;
};

class StatusCli : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusCli, ReportsTheEventPermissionOfTheStore) {
  test_support::TempFolder root;
  if (GetParam().record) root.write("access.json", GetParam().record);
  RunResult r = cli::run(in_store(root, {"status"}));
  EXPECT_EQ(r.out, GetParam().reply);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
  // Nothing is created or changed: no collections, the record as it was.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path()), {}), GetParam().record ? 1 : 0);
  if (GetParam().record) {
    EXPECT_EQ(root.read("access.json"), GetParam().record);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, StatusCli,
    testing::Values(
        StatusCase{nullptr, kStatus0},
        StatusCase{R"({"events":0})", kStatus0},
        StatusCase{R"({"events":1,"reminders":3})",
                   "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":true}\n"},
        StatusCase{R"({"events":2})", "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":true}\n"},
        StatusCase{R"({"events":3,"prompt":"deny"})",
                   "{\"account\":null,\"authorized\":true,\"available\":true,\"denied\":false}\n"},
        StatusCase{R"({"events":4})", kStatus0}, StatusCase{R"({"reminders":3})", kStatus0},
        StatusCase{R"({"events":"3"})", kStatus0}, StatusCase{"not json", kStatus0}));

TEST(StatusCli, OpensNoStoreAndCreatesNoRoot) {
  test_support::TempFolder parent;
  std::filesystem::path root = parent.path() / "calendar-store";
  Invocation inv;
  inv.args = {"status"};
  inv.env = {{"CALENDAR_STORE_DIR", root.string()}};
  RunResult r = cli::run(inv);
  EXPECT_EQ(r.out, kStatus0);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(StatusCli, IgnoresItsInputAndExtraArguments) {
  test_support::TempFolder root;
  root.write("access.json", R"({"events":3})");
  const char* authorized = "{\"account\":null,\"authorized\":true,\"available\":true,\"denied\":false}\n";
  const std::string inputs[] = {"", "[]", "{\"account\":\"me\"}", "garbage", std::string(300, '['),
                                std::string("{\"a\":\"\xff\"}"), std::string(1000000, '\n')};
  for (const std::string& input : inputs) {
    RunResult r = cli::run(in_store(root, {"status", "--extra", "\xff"}, input));
    EXPECT_EQ(r.out, authorized) << input.substr(0, 20);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, 0);
  }
  Invocation closed = in_store(root, {"status"});
  closed.close_stdin = true;
  Invocation directory = in_store(root, {"status"});
  directory.stdin_path = "/";
  for (const Invocation& inv : {closed, directory}) {
    RunResult r = cli::run(inv);
    EXPECT_EQ(r.out, authorized);
    EXPECT_EQ(r.exit_status, 0);
  }
}

// A reply nobody can receive: no crash by SIGPIPE, no success, a note on standard error.
struct ClosedOutputCase {
  OutputStream mode;
  const char* err;
};

class ClosedStdoutCli : public testing::TestWithParam<ClosedOutputCase> {};

TEST_P(ClosedStdoutCli, FailsWithoutCrashing) {
  test_support::TempFolder root;
  Invocation inv = in_store(root, {"status"});
  inv.stdout_stream = GetParam().mode;
  RunResult r = cli::run(inv);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(Streams, ClosedStdoutCli,
                         testing::Values(ClosedOutputCase{OutputStream::closed, "无法写出回复：Bad file descriptor\n"},
                                         ClosedOutputCase{OutputStream::broken_pipe, "无法写出回复：Broken pipe\n"},
                                         ClosedOutputCase{OutputStream::full_device,
                                                          "无法写出回复：No space left on device\n"}));

// The access request over the real store, whose answers come from other threads.
struct PromptCase {
  const char* command;
  const char* prompt;
  int exit_status;
  const char* err;
};

class AccessPromptCli : public testing::TestWithParam<PromptCase> {};

TEST_P(AccessPromptCli, EndsWithTheAnswersMessage) {
  test_support::TempFolder root;
  root.write("access.json", std::string(R"({"events":0,"reminders":4,"prompt":)") + GetParam().prompt + "}");
  RunResult r = cli::run(in_store(root, {GetParam().command}));
  EXPECT_EQ(r.exit_status, GetParam().exit_status);
  EXPECT_EQ(r.err, GetParam().err);
  if (r.exit_status == 1) {
    EXPECT_EQ(r.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, AccessPromptCli,
    testing::Values(
        PromptCase{"connect", "\"grant\"", 0, ""}, PromptCase{"reminders-connect", "\"grant\"", 0, ""},
        PromptCase{"connect", "\"deny\"", 1,
                   "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。\n"},
        PromptCase{"reminders-connect", "\"deny\"", 1, "请在系统设置 → 隐私与安全性 → 提醒事项中允许 Zolt Calendar。\n"},
        PromptCase{"connect", R"({"error":"被管理员禁止"})", 1, "被管理员禁止\n"},
        PromptCase{"reminders-reminders-connect", R"({"error":"被管理员禁止"})", 1, "被管理员禁止\n"},
        PromptCase{"connect", "\"drop\"", 1, "Apple 日历授权已中断\n"},
        PromptCase{"reminders-connect", "\"drop\"", 1, "提醒事项请求中断\n"}));

TEST(ReplyCli, StringsAreEscapedAndNonAsciiIsRaw) {
  test_support::TempFolder root;
  root.write("access.json", R"({"events":3})");
  root.write("cal/displayname", "Tab\there \"q\" \\ \x01\x1f \x7f 日历/\n");
  RunResult r = cli::run(in_store(root, {"calendars"}));
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.out.find("\"title\":\"Tab\\there \\\"q\\\" \\\\ \\u0001\\u001f \x7f 日历/\""), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

}  // namespace
