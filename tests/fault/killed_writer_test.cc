// A save killed with SIGKILL at random moments: before its temporary file, while
// writing it, right after the rename. After every kill each item must be its old
// or its new version, whole, and the next command must answer correctly; what a
// killed writer leaves behind must never be taken for an item.
// FAULT_KILLS sets the number of kills (150 here; 1,000 by hand) and
// FAULT_KILL_MAX_DELAY_US the longest random delay before a kill.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>

#include <chrono>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "fault/fault_store.h"
#include "fault/folder_watch.h"
#include "fault/spawned_bridge.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

struct Version {
  std::string title;
  std::string notes;
  friend bool operator==(const Version&, const Version&) = default;
};

std::string show(const Version& v) { return v.title + " / " + std::to_string(v.notes.size()) + " bytes of notes"; }

class KilledWriter : public ::testing::Test {
 protected:
  KilledWriter() : store_(dir_.path() / "store"), watch_(store_.folder().string()), random_(20261207) {
    store_.write_item("victim", fault::todo_text("victim", "v0", "first"));
    victim_ = {"v0", "first"};
  }

  // Starts the command and kills it at one of three kinds of moment; true when it finished first.
  bool run_and_kill(const std::string& command, const json& input, int round) {
    fault::SpawnOptions options;
    options.args = {command};
    options.stdin_path = fault::request_file(dir_.path(), input.dump());
    options.env = store_.env();
    watch_.clear();
    fault::SpawnedBridge child(options);
    int max_delay_us = fault::count_from_env("FAULT_KILL_MAX_DELAY_US", 4000);
    auto delay = std::chrono::microseconds(std::uniform_int_distribution<int>(0, max_delay_us)(random_));
    switch (round % 3) {
      case 0:  // anywhere from start-up to the write
        std::this_thread::sleep_for(delay);
        break;
      case 1:  // while the temporary file is written and synced
        if (watch_.wait_for(child.pid(), IN_CREATE)) std::this_thread::sleep_for(delay / 4);
        break;
      default:  // just after the new version took the old one's place
        watch_.wait_for(child.pid(), IN_MOVED_TO | IN_DELETE);
        break;
    }
    child.kill_now();
    fault::Finished end = child.wait();
    ++outcomes_[end.exit_status == 0 ? "finished" : end.signal == SIGKILL ? "killed" : "failed"];
    return end.exit_status == 0;
  }

  const fault::ItemFile* find_by_url(const std::vector<fault::ItemFile>& items, const std::string& client) {
    const fault::ItemFile* found = nullptr;
    for (const auto& item : items) {
      if (item.url == "zolt-task:" + client) {
        EXPECT_EQ(found, nullptr) << client << " is stored twice";
        found = &item;
      }
    }
    return found;
  }

  void update_victim(int round) {
    Version next{"v" + std::to_string(round + 1), std::string(20000, static_cast<char>('a' + round % 26))};
    json input = {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"id", "inbox/victim"}, {"title", next.title},
                  {"notes", next.notes}};
    bool finished = run_and_kill("reminders-save", input, round);
    auto items = store_.items();
    auto victim = std::find_if(items.begin(), items.end(), [](const auto& i) { return i.name == "victim"; });
    ASSERT_NE(victim, items.end()) << "round " << round << ": the item is gone";
    EXPECT_TRUE(victim->complete) << "round " << round << ":\n" << victim->text;
    EXPECT_NE(victim->text.find("X-KEEP:kept\r\n"), std::string::npos) << "round " << round;
    Version seen{victim->title, victim->notes};
    EXPECT_TRUE(seen == victim_ || seen == next) << "round " << round << ": " << show(seen);
    if (finished) {
      EXPECT_EQ(seen, next) << "round " << round << ": a finished save is not stored";
    }
    if (!finished) ++outcomes_[seen == next ? "killed, new version" : "killed, old version"];
    victim_ = seen;
  }

  void create(int round) {
    std::string client = "kill-" + std::to_string(round);
    json input = {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", client}, {"title", "created"}};
    bool finished = run_and_kill("reminders-save", input, round);
    auto items = store_.items();
    const fault::ItemFile* made = find_by_url(items, client);
    if (finished) {
      EXPECT_NE(made, nullptr) << "round " << round << ": a finished create is not stored";
    }
    if (!made) return;
    EXPECT_TRUE(made->complete) << "round " << round << ":\n" << made->text;
    EXPECT_EQ(made->title, "created") << "round " << round;
    created_[client] = made->name;
  }

  void remove(int round) {
    auto [client, name] = *created_.begin();
    json input = {{"listIds", {"inbox"}}, {"id", "inbox/" + name}};
    std::string before = dir_.read("store/inbox/" + name + ".ics").value_or("");
    bool finished = run_and_kill("reminders-delete", input, round);
    auto after = dir_.read("store/inbox/" + name + ".ics");
    if (finished) {
      EXPECT_FALSE(after) << "round " << round << ": a finished delete left the file";
    }
    if (after) {
      EXPECT_EQ(*after, before) << "round " << round;
    }
    if (!after) created_.erase(client);
  }

  // The next command sees exactly the items, whatever a killed writer left behind.
  void check_next_read(int round) {
    for (const std::string& stray : store_.strays()) {
      EXPECT_EQ(stray.front(), '.') << "round " << round << ": " << stray;
      EXPECT_EQ(stray.substr(stray.size() - 4), ".tmp") << "round " << round << ": " << stray;
    }
    cli::RunResult read = store_.run("reminders-read", R"({"listIds":["inbox"]})");
    ASSERT_EQ(read.exit_status, 0) << "round " << round << ": " << read.err;
    json records = json::parse(read.out);
    ASSERT_EQ(records.size(), created_.size() + 1) << "round " << round;
    for (const json& record : records) {
      if (record["id"] == "inbox/victim") {
        EXPECT_EQ(record["title"], victim_.title) << "round " << round;
      }
    }
  }

  test_support::TempFolder dir_;
  fault::FaultStore store_;
  fault::FolderWatch watch_;
  std::mt19937 random_;
  Version victim_;
  std::map<std::string, std::string> created_;  // client identifier -> file name
  std::map<std::string, int> outcomes_;         // what the kills met, for the log
};

TEST_F(KilledWriter, EveryItemOldOrNewAndTheNextCommandAnswers) {
  const int kills = fault::count_from_env("FAULT_KILLS", 150);
  for (int round = 0; round < kills && !HasFatalFailure(); ++round) {
    int kind = round % 10;
    if (kind < 5) update_victim(round);
    else if (kind < 8 || created_.empty()) create(round);
    else remove(round);
    check_next_read(round);
  }
  for (const fault::ItemFile& item : store_.items()) EXPECT_TRUE(item.complete) << item.name;
  std::cout << "[ fault    ] " << kills << " kills, " << store_.strays().size()
            << " temporary files left by killed writers\n";
  for (const auto& [outcome, count] : outcomes_) std::cout << "[ fault    ] " << outcome << ": " << count << "\n";
  EXPECT_EQ(outcomes_["failed"], 0);

  // The store still takes a whole save after every kill.
  cli::RunResult saved = store_.run("reminders-save", json{{"listIds", {"inbox"}}, {"listId", "inbox"},
                                                           {"id", "inbox/victim"}, {"title", "after"}}.dump());
  ASSERT_EQ(saved.exit_status, 0) << saved.err;
  EXPECT_EQ(json::parse(saved.out)["title"], "after");
  victim_.title = "after";
  check_next_read(kills);
}

}  // namespace
