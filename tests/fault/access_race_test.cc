// Two access requests answered at once, one for events and one for reminders:
// each must find its own answer in the permission record, and both answers must
// stay there.

#include <gtest/gtest.h>

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

}  // namespace
