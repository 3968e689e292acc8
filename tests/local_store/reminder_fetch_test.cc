#include <gtest/gtest.h>

#include <filesystem>

#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using store_test::StoreFolder;
using Ids = std::vector<std::string>;

std::string todo(const std::string& uid, const std::string& extra = "") {
  return store_test::todo_file("UID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + extra);
}

class ReminderFetchTest : public testing::Test {
 protected:
  ReminderFetchTest() {
    folder_.add_collection("b-list", "B", "VTODO");
    folder_.add_collection("a", "A", "VTODO\nVEVENT");
    folder_.add_collection("a-b", "AB", "VTODO");
  }
  StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

TEST_F(ReminderFetchTest, AnswersOnAnotherThreadInIdentifierOrder) {
  folder_.write("b-list/z.ics", todo("z"));
  folder_.write("b-list/c.ics", todo("c", "STATUS:COMPLETED\r\n"));
  folder_.write("a/m.ics", todo("m"));
  folder_.write("a-b/k.ics", todo("k"));
  folder_.write("a/event.ics",
                "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:e\r\nDTSTART:20250301T090000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  auto store = platform_.open_event_store();
  auto answer = store_test::fetch_and_wait(
      *store, {store_test::list_named(*store, "b-list"), store_test::list_named(*store, "a"),
               store_test::list_named(*store, "a-b"), store_test::list_named(*store, "a")});
  ASSERT_TRUE(answer.answered);
  EXPECT_TRUE(answer.had_array);
  EXPECT_NE(answer.thread, std::this_thread::get_id());
  EXPECT_EQ(answer.identifiers, (Ids{"a-b/k", "a/m", "b-list/c", "b-list/z"}));
  EXPECT_TRUE(answer.reminders[2].is_completed());
  EXPECT_EQ(answer.reminders[1].calendar()->identifier, "a");
}

TEST_F(ReminderFetchTest, OnlyTheChosenListsAndNoneGivesNone) {
  folder_.write("b-list/z.ics", todo("z"));
  folder_.write("a/m.ics", todo("m"));
  auto store = platform_.open_event_store();
  EXPECT_EQ(store_test::fetch_and_wait(*store, {store_test::list_named(*store, "a")}).identifiers, Ids{"a/m"});
  auto none = store_test::fetch_and_wait(*store, {});
  EXPECT_TRUE(none.had_array);
  EXPECT_TRUE(none.identifiers.empty());
}

TEST_F(ReminderFetchTest, BrokenAndForeignFilesAreSkipped) {
  folder_.write("a/good.ics", todo("good"));
  folder_.write("a/garbage.ics", "this is not iCalendar\n");
  folder_.write("a/empty.ics", "");
  folder_.write("a/journal.ics", "BEGIN:VCALENDAR\r\nBEGIN:VJOURNAL\r\nUID:j\r\nEND:VJOURNAL\r\nEND:VCALENDAR\r\n");
  folder_.write("a/two-calendars.ics", todo("x") + todo("y"));
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "BEGIN:X-DEEP\r\n";
  folder_.write("a/deep.ics", "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:d\r\n" + deep);
  folder_.write("a/.hidden.ics", todo("hidden"));
  folder_.write("a/notes.txt", todo("txt"));
  folder_.write("a/nul.ics", std::string("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:n\0x\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", 60));
  std::filesystem::create_directories(folder_.path("a/folder.ics"));
  folder_.write("a/caf\xff.ics", todo("badname"));
  auto store = platform_.open_event_store();
  auto answer = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "a")});
  EXPECT_TRUE(answer.had_array);
  // Two VCALENDARs one after another are a stream: both of its items count.
  EXPECT_EQ(answer.identifiers, (Ids{"a/good", "a/two-calendars/x", "a/two-calendars/y"}));
}

TEST_F(ReminderFetchTest, VanishedFolderAnswersWithoutAnArray) {
  folder_.write("a/m.ics", todo("m"));
  folder_.write("a-b/k.ics", todo("k"));
  auto store = platform_.open_event_store();
  auto lists = store->calendars_for_entity_type(platform::EntityType::reminder);
  std::filesystem::remove_all(folder_.path("a-b"));
  auto answer = store_test::fetch_and_wait(*store, lists);
  ASSERT_TRUE(answer.answered);
  EXPECT_FALSE(answer.had_array);
  EXPECT_NE(answer.thread, std::this_thread::get_id());
}

TEST_F(ReminderFetchTest, ListThatIsNoCollectionAnswersWithoutAnArray) {
  folder_.write("a/m.ics", todo("m"));
  folder_.write(".hidden/h.ics", todo("h"));
  auto store = platform_.open_event_store();
  for (const char* identifier : {"..", ".hidden", "a/..", "missing"}) {
    auto list = std::make_shared<platform::Calendar>();
    list->identifier = identifier;
    auto answer = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "a"), list});
    EXPECT_TRUE(answer.answered) << identifier;
    EXPECT_FALSE(answer.had_array) << identifier;
    EXPECT_TRUE(store->events_matching(platform::Date{0}, platform::Date{1e9}, {list}).empty());
  }
}

TEST_F(ReminderFetchTest, EachFileIsReadOncePerStore) {
  folder_.write("a/m.ics", todo("m"));
  auto store = platform_.open_event_store();
  auto list = store_test::list_named(*store, "a");
  EXPECT_EQ(store_test::fetch_and_wait(*store, {list}).reminders[0].title(), "m");
  // What the store read stands for the rest of its life; a fresh store reads anew.
  folder_.write("a/m.ics", todo("m", "PRIORITY:1\r\n"));
  EXPECT_EQ(store_test::stored_reminder(*store, "a/m").priority(), 0);
  EXPECT_EQ(store_test::fetch_and_wait(*store, {list}).reminders[0].priority(), 0);
  EXPECT_EQ(store_test::stored_reminder(*platform_.open_event_store(), "a/m").priority(), 1);
}

TEST_F(ReminderFetchTest, RunLoopWakesForTheAnswer) {
  folder_.write("a/m.ics", todo("m"));
  auto store = platform_.open_event_store();
  std::atomic<bool> answered{false};
  store->fetch_reminders({store_test::list_named(*store, "a")},
                         [&](std::optional<std::vector<std::string>>) { answered = true; });
  platform::Date far{platform_.now().seconds_since_1970 + 60};
  platform_.run_main_loop_until(far);
  EXPECT_LT(platform_.now(), far);
  EXPECT_TRUE(answered);
  store->cancel_fetch_request(12345);  // an unknown request is no error
}

struct LookupCase {
  const char* identifier;
  bool found;
};

class ItemLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(ItemLookupTest, FindsOnlyItemsOfCollections) {
  StoreFolder folder;
  folder.add_collection("list", "", "VTODO");
  folder.write("list/a.ics", todo("a"));
  folder.write("list/.b.ics", todo("b"));
  folder.write(".hidden/c.ics", todo("c"));
  folder.write("c.ics", todo("c"));
  platform::local::LocalPlatform platform(folder.root());
  auto item = platform.open_event_store()->calendar_item_with_identifier(GetParam().identifier);
  EXPECT_EQ(item.has_value(), GetParam().found);
  if (item) {
    EXPECT_TRUE(std::holds_alternative<platform::Reminder>(*item));
  }
}

const LookupCase kLookupCases[] = {
    {"list/a", true},   {"list/missing", false}, {"list/.b", false}, {".hidden/c", false}, {"c", false},
    {"/c", false},      {"list/", false},        {"list/a/x", false}, {"list/../list/a", false},
    {"../root/list/a", false}, {"", false},
};

INSTANTIATE_TEST_SUITE_P(Identifiers, ItemLookupTest, testing::ValuesIn(kLookupCases));

}  // namespace
