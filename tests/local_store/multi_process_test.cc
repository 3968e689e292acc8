#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

namespace fs = std::filesystem;
using store_test::StoreFolder;

constexpr int kProcesses = 6;
constexpr int kCreatesEach = 15;

// Runs `work` in `count` forked processes at once; true when every one exited with 0.
template <class Work>
bool run_in_processes(int count, Work work) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(work(i));
    children.push_back(pid);
  }
  bool all_ok = true;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    all_ok = all_ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return all_ok;
}

// One process's share: new reminders of its own, and updates of the reminder all share.
int save_concurrently(const std::string& root, int process) {
  platform::local::LocalPlatform platform(root);
  int failures = 0;
  for (int i = 0; i < kCreatesEach; ++i) {
    // As every command that writes does: bridge processes take turns, and each save
    // still checks that it replaces only the version it read.
    auto lock = platform.hold_reminder_write_lock();
    if (!lock) return 1;
    auto store = platform.open_event_store();
    auto lists = store->calendars_for_entity_type(platform::EntityType::reminder);
    platform::Reminder created = store->new_reminder();
    created.set_calendar(lists.front());
    created.set_title("p" + std::to_string(process) + "-" + std::to_string(i));
    created.set_notes(std::string(2000, 'n'));
    if (!store->save_reminder(created).ok()) ++failures;

    auto shared = store->calendar_item_with_identifier("todo/shared");
    if (!shared) {
      ++failures;
      continue;
    }
    auto& reminder = std::get<platform::Reminder>(*shared);
    reminder.set_title("shared by p" + std::to_string(process));
    reminder.set_notes(std::string(3000, static_cast<char>('a' + process)));
    if (!store->save_reminder(reminder).ok()) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

TEST(MultiProcess, ConcurrentSavesLoseAndCorruptNothing) {
  StoreFolder folder;
  folder.add_collection("todo", "Todo", "VTODO");
  folder.write("todo/shared.ics", store_test::todo_file("UID:shared\r\nSUMMARY:start\r\nX-KEEP:me\r\n"));
  ASSERT_TRUE(run_in_processes(kProcesses, [&](int i) { return save_concurrently(folder.root(), i); }));

  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto answer = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")});
  ASSERT_TRUE(answer.had_array);
  std::set<std::string> titles;
  for (const auto& reminder : answer.reminders) titles.insert(reminder.title());
  EXPECT_EQ(answer.reminders.size(), static_cast<std::size_t>(kProcesses * kCreatesEach + 1));
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kCreatesEach; ++i) EXPECT_TRUE(titles.count("p" + std::to_string(p) + "-" + std::to_string(i)));
  }

  // The shared reminder is one whole version written by one process.
  auto shared = store_test::stored_reminder(*store, "todo/shared");
  ASSERT_EQ(shared.title().rfind("shared by p", 0), 0u) << shared.title();
  int writer = shared.title().back() - '0';
  EXPECT_EQ(shared.notes(), std::string(3000, static_cast<char>('a' + writer)));
  EXPECT_NE(folder.read("todo/shared.ics").find("X-KEEP:me"), std::string::npos);

  // No temporary file is left behind.
  for (const auto& entry : fs::directory_iterator(folder.path("todo"))) {
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
  }
}

TEST(MultiProcess, FirstOpeningsAtOnceMakeOneDefaultRoot) {
  StoreFolder folder;
  std::string root = folder.base() + "/fresh/calendar-store";
  ASSERT_TRUE(run_in_processes(kProcesses, [&](int) {
    platform::local::LocalPlatform platform(root);
    auto store = platform.open_event_store();
    return store->calendars_for_entity_type(platform::EntityType::reminder).size() == 1 ? 0 : 1;
  }));
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder.base() + "/fresh")) entries.push_back(entry.path().filename());
  EXPECT_EQ(entries, std::vector<std::string>{"calendar-store"});
  std::set<std::string> collections;
  for (const auto& entry : fs::directory_iterator(root)) collections.insert(entry.path().filename());
  EXPECT_EQ(collections, (std::set<std::string>{"calendar", "reminders"}));
}

}  // namespace
