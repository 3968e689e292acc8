// A reminder too large for the store to read back must not be written: it would
// vanish from every read, and saving its task again would make a second copy.

#include <gtest/gtest.h>

#include <fstream>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

const std::string kTooLarge = "无法保存提醒事项：提醒事项文件将超过 16 MiB 的上限。\n";

std::string create(const std::string& client, std::size_t notes_size) {
  return json{{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", client}, {"title", client},
              {"notes", std::string(notes_size, 'n')}}
      .dump();
}

TEST(BigItem, ItemBeyondWhatTheStoreReadsIsRefused) {
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  const std::string old = fault::todo_text("victim", "old title", "old notes");
  store.write_item("victim", old);

  cli::RunResult created = store.run("reminders-save", create("huge", 17 * 1024 * 1024));
  EXPECT_EQ(created.exit_status, 1);
  EXPECT_EQ(created.out, "");
  EXPECT_EQ(created.err, kTooLarge);

  cli::RunResult updated = store.run(
      "reminders-save", json{{"listIds", {"inbox"}}, {"listId", "inbox"}, {"id", "inbox/victim"},
                             {"title", "old title"}, {"notes", std::string(17 * 1024 * 1024, 'u')}}
                            .dump());
  EXPECT_EQ(updated.exit_status, 1);
  EXPECT_EQ(updated.err, kTooLarge);

  auto items = store.items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, old);
  EXPECT_EQ(store.strays(), std::vector<std::string>{});
}

TEST(BigItem, LargeItemWithinTheLimitIsSavedAndReadBack) {
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  cli::RunResult created = store.run("reminders-save", create("large", 4 * 1024 * 1024));
  ASSERT_EQ(created.exit_status, 0) << created.err;
  cli::RunResult read = store.run("reminders-read", R"({"listIds":["inbox"]})");
  ASSERT_EQ(read.exit_status, 0) << read.err;
  json records = json::parse(read.out);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["clientId"], "large");
  EXPECT_EQ(records[0]["notes"].get<std::string>().size(), 4u * 1024 * 1024);
}

}  // namespace
