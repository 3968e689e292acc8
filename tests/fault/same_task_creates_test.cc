// Several bridge processes saving one new task at the same moment, as when the
// application retries a save or two of its windows synchronise: each task must
// get one reminder, and every later save of it must find that one.
// FAULT_NEW_TASKS sets the number of tasks (20 here; 200 by hand).

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
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

// Where the user's lock can go, and what a burst of saves of one new task does
// then: one reminder when some place only the user can write is found, else no
// reminder and every save says why.
struct LockPlace {
  const char* name;
  // Prepares the folders under the test's folder; gives the environment changes.
  std::function<std::vector<std::pair<std::string, std::string>>(const std::filesystem::path& dir,
                                                                  const fault::FaultStore& store)>
      prepare;
  bool usable;
};

void PrintTo(const LockPlace& place, std::ostream* out) { *out << place.name; }

const LockPlace kLockPlaces[] = {
    {"RuntimeFolderUnderAFile",
     [](const std::filesystem::path&, const fault::FaultStore&) {
       return std::vector<std::pair<std::string, std::string>>{{"XDG_RUNTIME_DIR", "/etc/passwd/x"}};
     },
     true},
    {"LinkPlantedInASharedRuntimeFolder",
     [](const std::filesystem::path& dir, const fault::FaultStore&) {
       // As /tmp with XDG_RUNTIME_DIR=/tmp: another user made the lock folder and a link in it.
       std::filesystem::path shared = dir / "tmp", theirs = shared / "calendar-bridge";
       std::filesystem::create_directories(theirs);
       ::chmod(shared.c_str(), 01777);
       ::chmod(theirs.c_str(), 0777);
       std::filesystem::create_symlink(dir / "victim", theirs / "reminders.lock");
       EXPECT_EQ(::lchown(theirs.c_str(), 65534, 65534), 0);
       return std::vector<std::pair<std::string, std::string>>{{"XDG_RUNTIME_DIR", shared.string()}};
     },
     true},
    {"OnlyTheStoresRoot",
     [](const std::filesystem::path&, const fault::FaultStore&) {
       return std::vector<std::pair<std::string, std::string>>{{"XDG_RUNTIME_DIR", "/etc/passwd/x"},
                                                                {"XDG_CACHE_HOME", "/etc/passwd/y"}};
     },
     true},
    {"NoPrivatePlaceAtAll",
     [](const std::filesystem::path&, const fault::FaultStore& store) {
       ::chmod(store.root().c_str(), 0770);
       return std::vector<std::pair<std::string, std::string>>{{"XDG_RUNTIME_DIR", "/etc/passwd/x"},
                                                                {"XDG_CACHE_HOME", "/etc/passwd/y"}};
     },
     false},
};

class SameTaskCreatesLockPlace : public testing::TestWithParam<LockPlace> {};

TEST_P(SameTaskCreatesLockPlace, NeverMakesTwoRemindersForOneTask) {
  constexpr int kSavers = 8;
  const int tasks = fault::count_from_env("FAULT_NEW_TASKS", 3);
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  std::vector<std::pair<std::string, std::string>> env = store.env();
  for (auto& change : GetParam().prepare(dir.path(), store)) env.push_back(change);

  for (int task = 0; task < tasks; ++task) {
    std::string client = "new-" + std::to_string(task);
    fault::SpawnOptions options;
    options.args = {"reminders-save"};
    options.stdin_path = fault::request_file(dir.path(), save_request(client, "created").dump());
    options.env = env;
    options.capture = true;
    std::vector<std::unique_ptr<fault::SpawnedBridge>> savers;
    for (int p = 0; p < kSavers; ++p) savers.push_back(std::make_unique<fault::SpawnedBridge>(options));
    for (auto& saver : savers) {
      fault::Finished end = saver->wait();
      if (GetParam().usable) {
        EXPECT_EQ(end.exit_status, 0) << client << ": " << end.err;
      } else {
        EXPECT_EQ(end.exit_status, 1) << client << ": " << end.out;
        EXPECT_EQ(end.err, "无法取得提醒事项的写入锁，请稍后重试。\n");
      }
    }
  }

  std::map<std::string, int> copies;  // task marker -> files carrying it
  for (const fault::ItemFile& item : store.items()) ++copies[item.url];
  for (int task = 0; task < tasks; ++task) {
    EXPECT_EQ(copies["zolt-task:new-" + std::to_string(task)], GetParam().usable ? 1 : 0) << task;
  }
  EXPECT_EQ(store.items().size(), GetParam().usable ? static_cast<std::size_t>(tasks) : 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "victim"));
}

INSTANTIATE_TEST_SUITE_P(Places, SameTaskCreatesLockPlace, testing::ValuesIn(kLockPlaces),
                         [](const testing::TestParamInfo<LockPlace>& info) { return std::string(info.param.name); });

}  // namespace
