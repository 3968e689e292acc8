// Two access requests answered at once, one for events and one for reminders:
// each must find its own answer in the permission record, and both answers must
// stay there.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fault/fault_store.h"
#include "fault/spawned_bridge.h"
#include "support/temp_folder.h"

namespace {

TEST(AccessRace, ConcurrentGrantsForEventsAndRemindersBothStay) {
  const int trials = fault::count_from_env("FAULT_RACE_TRIALS", 15);
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  auto request = [&](const std::string& command) {
    fault::SpawnOptions options;
    options.args = {command};
    options.stdin_path = fault::request_file(dir.path(), "{}");
    options.env = store.env();
    options.capture = true;
    return options;
  };
  for (int trial = 0; trial < trials; ++trial) {
    std::ofstream(store.root() / "access.json", std::ios::trunc) << R"({"prompt":"grant"})";
    fault::SpawnedBridge events(request("connect"));
    fault::SpawnedBridge reminders(request("reminders-connect"));
    fault::Finished events_end = events.wait();
    fault::Finished reminders_end = reminders.wait();
    EXPECT_EQ(events_end.exit_status, 0) << "trial " << trial << ": " << events_end.err;
    EXPECT_EQ(reminders_end.exit_status, 0) << "trial " << trial << ": " << reminders_end.err;
    auto record = nlohmann::json::parse(std::ifstream(store.root() / "access.json"));
    EXPECT_EQ(record, nlohmann::json::parse(R"({"events":3,"reminders":3,"prompt":"grant"})")) << "trial " << trial;
    EXPECT_EQ(store.root_strays(), std::vector<std::string>{});
  }
}

// Locks taken by someone else while an access request is answered "grant": on
// the store's folder (anyone who can read it can flock(2) it), the answer is
// written at once; on the record's own lock file, held by another bridge of the
// user that does not let go, the answer fails after a short wait and writes nothing.
TEST(AccessRace, AnAnswerWaitsOnlyForItsOwnLockAndNotForEver) {
  const struct {
    const char* held;  // under the test's folder
    int exit_status;
    const char* err;
    const char* record;
  } cases[] = {
      {"store", 0, "", R"({"events":3,"prompt":"grant"})"},
      {"runtime/calendar-bridge/access.lock", 1, "无法取得授权记录的写入锁，请稍后重试。\n", R"({"prompt":"grant"})"},
  };
  for (const auto& c : cases) {
    test_support::TempFolder dir;
    fault::FaultStore store(dir.path() / "store");
    std::ofstream(store.root() / "access.json", std::ios::trunc) << R"({"prompt":"grant"})";
    std::filesystem::path held = dir.path() / c.held;
    std::filesystem::create_directories(held.parent_path());
    int flags = std::filesystem::is_directory(held) ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_CREAT;
    int fd = ::open(held.c_str(), flags | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << held;
    ASSERT_EQ(::flock(fd, LOCK_EX), 0) << held;
    cli::RunResult r = store.run("connect", "{}");
    ::close(fd);
    EXPECT_FALSE(r.timed_out) << c.held;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.held << ": " << r.err;
    EXPECT_EQ(r.err, c.err) << c.held;
    EXPECT_EQ(nlohmann::json::parse(std::ifstream(store.root() / "access.json")), nlohmann::json::parse(c.record))
        << c.held;
  }
}

}  // namespace
