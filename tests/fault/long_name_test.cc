// An item whose file name is as long as the file system allows can still be
// saved: the temporary file beside it must fit within the same limit.

#include <gtest/gtest.h>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

TEST(LongName, ItemNamedAtTheLengthLimitIsSavedInPlace) {
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  const std::string name(251, 'a');  // with ".ics", the longest name Linux takes
  store.write_item(name, fault::todo_text("long", "old title", "old notes"));

  cli::RunResult saved = store.run("reminders-save", json{{"listIds", {"inbox"}}, {"listId", "inbox"},
                                                          {"id", "inbox/" + name}, {"title", "new title"},
                                                          {"previousFields", {{"title", "old title"}}}}
                                                         .dump());
  EXPECT_EQ(saved.exit_status, 0) << saved.err;
  EXPECT_EQ(saved.err, "");
  auto items = store.items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, name);
  EXPECT_EQ(items[0].title, "new title");
  EXPECT_EQ(items[0].notes, "old notes");
  EXPECT_TRUE(items[0].complete);
  EXPECT_EQ(store.strays(), std::vector<std::string>{});
}

}  // namespace
