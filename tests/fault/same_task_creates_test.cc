// Several bridge processes saving one new task at the same moment, as when the
// application retries a save or two of its windows synchronise: each task must
// get one reminder, and every later save of it must find that one.
// FAULT_NEW_TASKS sets the number of tasks (20 here; 200 by hand).

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "fault/fault_store.h"
#include "fault/spawned_bridge.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

constexpr int kProcesses = 3;

json save_request(const std::string& client, const std::string& title) {
  return {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", client}, {"title", title}};
}

TEST(SameTaskCreates, ProcessesSavingOneNewTaskTogetherMakeOneReminder) {
  const int tasks = fault::count_from_env("FAULT_NEW_TASKS", 20);
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");

  for (int task = 0; task < tasks; ++task) {
    std::string client = "new-" + std::to_string(task);
    fault::SpawnOptions options;
    options.args = {"reminders-save"};
    options.stdin_path = fault::request_file(dir.path(), save_request(client, "created").dump());
    options.env = store.env();
    options.capture = true;
    std::vector<std::unique_ptr<fault::SpawnedBridge>> savers;
    for (int p = 0; p < kProcesses; ++p) savers.push_back(std::make_unique<fault::SpawnedBridge>(options));
    for (auto& saver : savers) {
      fault::Finished end = saver->wait();
      EXPECT_EQ(end.exit_status, 0) << client << ": " << end.err;
      EXPECT_EQ(json::parse(end.out.empty() ? "null" : end.out).value("clientId", ""), client);
    }
  }

  std::map<std::string, int> copies;  // task marker -> files carrying it
  for (const fault::ItemFile& item : store.items()) {
    EXPECT_TRUE(item.complete) << item.name;
    ++copies[item.url];
  }
  for (int task = 0; task < tasks; ++task) {
    std::string client = "new-" + std::to_string(task);
    EXPECT_EQ(copies["zolt-task:" + client], 1) << client;
    // The task stays in sync: a later save updates its one reminder.
    cli::RunResult again = store.run("reminders-save", save_request(client, "again").dump());
    EXPECT_EQ(again.exit_status, 0) << client << ": " << again.err;
  }
  EXPECT_EQ(store.items().size(), static_cast<std::size_t>(tasks));
  EXPECT_EQ(store.strays(), std::vector<std::string>{});
}

}  // namespace
