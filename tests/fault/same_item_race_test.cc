// Two bridge processes writing the same reminder at the same moment. Each save
// writes only what it changed onto the version it finds, so two saves of
// different fields must both land, and a save racing a delete must not bring
// the deleted reminder back.

#include <gtest/gtest.h>

#include "fault/fault_store.h"
#include "fault/spawned_bridge.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

class SameItemRace : public ::testing::Test {
 protected:
  SameItemRace() : store_(dir_.path() / "store") {}

  fault::SpawnOptions command(const std::string& name, const json& input) {
    fault::SpawnOptions options;
    options.args = {name};
    options.stdin_path = fault::request_file(dir_.path(), input.dump());
    options.env = store_.env();
    options.capture = true;
    return options;
  }

  // A save of the victim that changes only what differs from {t0, n0}.
  fault::SpawnOptions save(const std::string& title, const std::string& notes) {
    return command("reminders-save", {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"id", "inbox/victim"},
                                      {"title", title}, {"notes", notes},
                                      {"previousFields", {{"title", "t0"}, {"notes", "n0"}}}});
  }

  test_support::TempFolder dir_;
  fault::FaultStore store_;
};

TEST_F(SameItemRace, SavesOfDifferentFieldsBothLand) {
  const int trials = fault::count_from_env("FAULT_RACE_TRIALS", 15);
  for (int trial = 0; trial < trials; ++trial) {
    store_.write_item("victim", fault::todo_text("victim", "t0", "n0"));
    std::string title = "title " + std::to_string(trial);
    std::string notes = "notes " + std::to_string(trial);
    fault::SpawnedBridge renames(save(title, "n0"));
    fault::SpawnedBridge annotates(save("t0", notes));
    fault::Finished first = renames.wait();
    fault::Finished second = annotates.wait();
    EXPECT_EQ(first.exit_status, 0) << first.err;
    EXPECT_EQ(second.exit_status, 0) << second.err;
    auto items = store_.items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, title) << "trial " << trial << ": the title was lost";
    EXPECT_EQ(items[0].notes, notes) << "trial " << trial << ": the notes were lost";
    EXPECT_TRUE(items[0].complete);
  }
}

TEST_F(SameItemRace, ASaveRacingADeleteNeverBringsTheReminderBack) {
  const int trials = fault::count_from_env("FAULT_RACE_TRIALS", 15);
  for (int trial = 0; trial < trials; ++trial) {
    store_.write_item("victim", fault::todo_text("victim", "t0", "n0"));
    fault::SpawnedBridge renames(save("renamed", "n0"));
    fault::SpawnedBridge deletes(command("reminders-delete", {{"listIds", {"inbox"}}, {"id", "inbox/victim"}}));
    fault::Finished saved = renames.wait();
    fault::Finished deleted = deletes.wait();
    EXPECT_EQ(deleted.exit_status, 0) << deleted.err;
    EXPECT_EQ(deleted.out, "null\n");
    // The save came first, or it finds its reminder gone.
    if (saved.exit_status != 0) {
      EXPECT_TRUE(saved.err == "提醒事项已不存在：inbox/victim\n" ||
                  saved.err == "提醒事项已移动或删除，请重新同步。\n")
          << saved.err;
    }
    EXPECT_EQ(store_.items().size(), 0u) << "trial " << trial << ": the deleted reminder is back";
    EXPECT_EQ(store_.strays(), std::vector<std::string>{});
  }
}

}  // namespace
