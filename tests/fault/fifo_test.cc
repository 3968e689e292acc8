// A FIFO where the store expects a file (a list's metadata, the permission record,
// an item) is never waited on: every command answers at once, as for a file that
// cannot be read.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <ostream>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

struct FifoCase {
  const char* path;  // under the store's root
  const char* command;
  int exit_status;
};

void PrintTo(const FifoCase& c, std::ostream* out) { *out << c.path << " " << c.command; }

class FifoTest : public testing::TestWithParam<FifoCase> {};

TEST_P(FifoTest, IsNeverWaitedOn) {
  const FifoCase& c = GetParam();
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  store.write_item("kept", fault::todo_text("kept", "Kept", "notes"));
  std::filesystem::path fifo = store.root() / c.path;
  std::filesystem::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << fifo;
  cli::Invocation inv;
  inv.args = {c.command};
  inv.input = R"({"listIds":["inbox"]})";
  for (const auto& [name, value] : store.env()) inv.env.emplace_back(name, value);
  inv.time_limit = std::chrono::seconds(20);
  cli::RunResult result = cli::run(inv);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_status, c.exit_status) << result.err;
  if (c.exit_status == 0 && std::string(c.command) == "reminders-read") {
    EXPECT_NE(result.out.find("\"title\":\"Kept\""), std::string::npos) << result.out;
  }
}

const FifoCase kFifoCases[] = {
    {"inbox/displayname", "reminders-read", 0},
    {"inbox/color", "reminders-read", 0},
    {"inbox/components", "reminders-read", 0},
    {"inbox/source", "reminders-connect", 0},
    {"inbox/waiting.ics", "reminders-read", 0},
    {"access.json", "reminders-status", 0},
};

INSTANTIATE_TEST_SUITE_P(Places, FifoTest, testing::ValuesIn(kFifoCases), [](const auto& info) {
  std::string name;
  for (char ch : std::string(info.param.path) + "_" + info.param.command) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

}  // namespace
