#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "cli/cli_runner.h"

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
    cli::TempDir dir;
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
  inv.argv0 = "\xff\xfebridge";
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

}  // namespace
