#include <gtest/gtest.h>

#include <string>

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

}  // namespace
