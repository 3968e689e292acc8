#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "local_store/event_test_env.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"
#include "platform/local/store_index.h"

namespace {

using platform::Date;
using platform::EntityType;
using platform::local::StoreIndex;
using platform::local::testing::utc;

// Both texts have the same length, so swapping one for the other keeps the size.
std::string event_file(const std::string& uid, const std::string& day) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART:" + day +
         "T090000Z\r\nDTEND:" + day + "T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Rows are kept only for files that settled: fixtures get a modification time long past.
void set_modified(const std::string& path, long seconds, long nanoseconds = 0) {
  struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class StoreIndexTest : public testing::Test {
 protected:
  StoreIndexTest() {
    settings_.zone("UTC");
    folder_.add_collection("home", "Home", "VEVENT");
    add_event("near", "20250310");
    add_event("far", "20240110");
    add_event("repeats", "20250301", "RRULE:FREQ=WEEKLY;COUNT=3\r\n");
  }
  void add_event(const std::string& name, const std::string& day, const std::string& more = "") {
    std::string text = event_file(name, day);
    if (!more.empty()) text.insert(text.find("END:VEVENT"), more);
    folder_.write("home/" + name + ".ics", text);
    set_modified(folder_.path("home/" + name + ".ics"), 1700000000);
  }
  // The titles of March 2025's events, read by a store opened anew (a new process).
  std::vector<std::string> march_titles() {
    platform::local::LocalPlatform platform(folder_.root());
    auto store = platform.open_event_store();
    std::vector<std::string> titles;
    for (const auto& event : store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)},
                                                    store->calendars_for_entity_type(EntityType::event))) {
      titles.push_back(event.title);
    }
    return titles;
  }
  std::set<std::string> indexed_names() {
    std::set<std::string> names;
    for (const auto& row : StoreIndex(folder_.root()).files_in("home")) names.insert(row.first);
    return names;
  }
  std::string index_path() const { return folder_.path(".index.sqlite"); }

  platform::local::testing::MachineSettings settings_;
  store_test::StoreFolder folder_;
};

using Titles = std::vector<std::string>;

TEST_F(StoreIndexTest, MadeOnFirstQueryWithARowPerFile) {
  EXPECT_FALSE(folder_.exists(".index.sqlite"));
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "repeats"}));
  EXPECT_EQ(indexed_names(), (std::set<std::string>{"far", "near", "repeats"}));
}

TEST_F(StoreIndexTest, AFileOfTheIndexedVersionIsNotReadAgain) {
  march_titles();
  // Same size, same time, same inode: only the index can say what this file holds.
  folder_.write("home/far.ics", event_file("xyz", "20250311"));
  set_modified(folder_.path("home/far.ics"), 1700000000);
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "repeats"}));
}

TEST_F(StoreIndexTest, AFileWithANewTimeIsReadAgain) {
  march_titles();
  folder_.write("home/far.ics", event_file("xyz", "20250311"));
  set_modified(folder_.path("home/far.ics"), 1700000000, 1);
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "xyz", "repeats"}));
}

TEST_F(StoreIndexTest, AddedAndDeletedFilesAreFollowed) {
  march_titles();
  add_event("added", "20250312");
  ASSERT_EQ(::unlink(folder_.path("home/near.ics").c_str()), 0);
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "added", "repeats"}));
  EXPECT_EQ(indexed_names(), (std::set<std::string>{"added", "far", "repeats"}));
}

// What an index that cannot be used is made of, put in place before the first query.
struct UnusableIndex {
  const char* name;
  void (*make)(const std::string& path);
  bool rebuilt;  // whether the query leaves a working index behind
};

class UnusableIndexTest : public StoreIndexTest, public testing::WithParamInterface<UnusableIndex> {};

TEST_P(UnusableIndexTest, NeverChangesTheAnswer) {
  GetParam().make(index_path());
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "repeats"}));
  EXPECT_EQ(indexed_names().size(), GetParam().rebuilt ? 3u : 0u);
}

void sql(const std::string& path, const char* statements) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

const UnusableIndex kUnusableIndexes[] = {
    {"GarbageBytes",
     [](const std::string& path) {
       std::ofstream(path, std::ios::binary) << std::string(8192, '\x5a') << "not a database";
     },
     true},
    {"OtherSchemaVersion",
     [](const std::string& path) {
       sql(path, "CREATE TABLE items(folder TEXT, name TEXT); INSERT INTO items VALUES('home','far');"
                 "PRAGMA user_version=99;");
     },
     true},
    {"AFolderInItsPlace", [](const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0); }, false},
};

INSTANTIATE_TEST_SUITE_P(Kinds, UnusableIndexTest, testing::ValuesIn(kUnusableIndexes),
                         [](const testing::TestParamInfo<UnusableIndex>& info) { return info.param.name; });

TEST_F(StoreIndexTest, ALockedIndexIsPassedBy) {
  march_titles();
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(index_path().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  add_event("added", "20250312");
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "added", "repeats"}));
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
}

TEST(StoreIndexWrites, RowsFollowSavesAndRemovals) {
  store_test::StoreFolder folder;
  folder.add_collection("todo", "Todo", "VTODO");
  folder.write("todo/old.ics", store_test::todo_file("UID:old\r\nSUMMARY:Old\r\n"));
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto list = store_test::list_named(*store, "todo");
  ASSERT_EQ(store_test::fetch_and_wait(*store, {list}).identifiers.size(), 1u);

  platform::Reminder reminder = store->new_reminder();
  reminder.set_calendar(list);
  reminder.set_title("New");
  ASSERT_EQ(store->save_reminder(reminder), std::nullopt);
  ASSERT_EQ(store->remove_reminder(store_test::stored_reminder(*store, "todo/old")), std::nullopt);

  auto rows = StoreIndex(folder.root()).files_in("todo");
  ASSERT_EQ(rows.size(), 1u);
  std::string name = reminder.calendar_item_identifier().substr(5);
  ASSERT_EQ(rows.count(name), 1u);
  struct stat st;
  ASSERT_EQ(::stat(folder.path("todo/" + name + ".ics").c_str(), &st), 0);
  EXPECT_EQ(rows[name].stamp.inode, st.st_ino);
  EXPECT_EQ(rows[name].stamp.size, st.st_size);
  EXPECT_EQ(rows[name].stamp.modified_ns, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
}

}  // namespace
