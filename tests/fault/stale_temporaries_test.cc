// Temporary files a killed writer left behind are removed by a later write to
// their folder once they are old enough that no writer can still be at work on
// them; anything else hidden in the folder stays, whatever its age.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kUuid = "0b6c4f7e-9d2a-4c3b-8e1f-5a6b7c8d9e0f";

class StaleTemporaries : public ::testing::Test {
 protected:
  StaleTemporaries() : store_(dir_.path() / "store") {
    store_.write_item("kept", fault::todo_text("kept", "t0", "n0"));
  }

  // A hidden file in "inbox", last changed `age` ago.
  void leave(const std::string& name, std::chrono::minutes age) {
    fs::path path = store_.folder() / name;
    std::ofstream(path) << "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\n";  // cut off where the writer was killed
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
  }

  test_support::TempFolder dir_;
  fault::FaultStore store_;
};

TEST_F(StaleTemporaries, ALaterWriteRemovesOnlyTheWritersOwnOldOnes) {
  using std::chrono::hours;
  using std::chrono::minutes;
  const std::string stale = std::string(".kept.ics.") + kUuid + ".tmp";
  const std::string stale_new_item = std::string(".4f1d2c3b-aaaa-4bbb-8ccc-0123456789ab.ics.") + kUuid + ".tmp";
  const std::string young = std::string(".kept.ics.") + "1b6c4f7e-9d2a-4c3b-8e1f-5a6b7c8d9e0f.tmp";
  const std::string others[] = {
      ".kept.ics.tmp",                                                   // no UUID
      std::string(".kept.ics.") + "0B6C4F7E-9D2A-4C3B-8E1F-5A6B7C8D9E0F.tmp",  // not as the writer spells it
      std::string(".") + kUuid + ".tmp",                                 // no item name
      ".kept.ics.0b6c4f7e-9d2a-4c3b-8e1f-5a6b7c8d9e0:.tmp",                // no UUID: a colon for a digit
      std::string(".kept.ics.") + kUuid + ".tmp.x",                      // another ending
      std::string("notes.") + kUuid + ".tmp",                            // not hidden: the user's own
      ".vdirsyncer-0123.tmp",
  };
  leave(stale, hours(2));
  leave(stale_new_item, minutes(20));
  leave(young, minutes(1));
  for (const std::string& other : others) leave(other, hours(24 * 30));

  // A read is no write: it removes nothing.
  ASSERT_EQ(store_.run("reminders-read", R"({"listIds":["inbox"]})").exit_status, 0);
  EXPECT_TRUE(fs::exists(store_.folder() / stale));

  cli::RunResult saved = store_.run("reminders-save", json{{"listIds", {"inbox"}}, {"listId", "inbox"},
                                                           {"id", "inbox/kept"}, {"title", "t1"}}.dump());
  ASSERT_EQ(saved.exit_status, 0) << saved.err;
  EXPECT_FALSE(fs::exists(store_.folder() / stale));
  EXPECT_FALSE(fs::exists(store_.folder() / stale_new_item));
  EXPECT_TRUE(fs::exists(store_.folder() / young));
  for (const std::string& other : others) EXPECT_TRUE(fs::exists(store_.folder() / other)) << other;
}

TEST_F(StaleTemporaries, ARemovalAndACreateAreWritesToo) {
  const std::string stale = std::string(".kept.ics.") + kUuid + ".tmp";
  leave(stale, std::chrono::hours(1));
  cli::RunResult deleted =
      store_.run("reminders-delete", json{{"listIds", {"inbox"}}, {"id", "inbox/kept"}}.dump());
  ASSERT_EQ(deleted.exit_status, 0) << deleted.err;
  EXPECT_FALSE(fs::exists(store_.folder() / stale));

  leave(stale, std::chrono::hours(1));
  cli::RunResult created = store_.run(
      "reminders-save", json{{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", "c1"}, {"title", "new"}}.dump());
  ASSERT_EQ(created.exit_status, 0) << created.err;
  EXPECT_FALSE(fs::exists(store_.folder() / stale));
  EXPECT_EQ(store_.strays(), std::vector<std::string>{});
}

}  // namespace
