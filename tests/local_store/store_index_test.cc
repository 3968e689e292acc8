#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "local_store/event_test_env.h"
#include "local_store/exported_calendars.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"
#include "platform/local/index/store_index.h"

namespace {

using store_test::set_modified;
using store_test::sql;

using platform::Date;
using platform::EntityType;
using platform::local::StoreIndex;
using platform::local::testing::utc;

// Both texts have the same length, so swapping one for the other keeps the size.
std::string event_file(const std::string& uid, const std::string& day) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART:" + day +
         "T090000Z\r\nDTEND:" + day + "T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
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
using IndexedRowsByName = std::map<std::string, platform::local::IndexedFile>;

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

// The first window of a query (from Saturday midnight) may pass over the weekly
// event; the wider windows that follow take its events from the index, not from the
// file (changed since, keeping its size and time).
TEST_F(StoreIndexTest, AWiderWindowOfOneQueryTakesEventsFromTheIndex) {
  march_titles();
  std::string changed = event_file("xyzxyzx", "20250301");
  changed.insert(changed.find("END:VEVENT"), "RRULE:FREQ=WEEKLY;COUNT=3\r\n");
  folder_.write("home/repeats.ics", changed);
  set_modified(folder_.path("home/repeats.ics"), 1700000000);
  platform::local::LocalPlatform platform(folder_.root());
  auto store = platform.open_event_store();
  Titles titles;
  for (const auto& event : store->first_events_matching(Date{utc(2025, 3, 8)}, Date{utc(2025, 4, 1)},
                                                        store->calendars_for_entity_type(EntityType::event), 2)) {
    titles.push_back(event.title + "@" + std::to_string(event.start_date.seconds_since_1970));
  }
  EXPECT_EQ(titles, (Titles{"repeats@" + std::to_string(utc(2025, 3, 8, 9)), "near@" + std::to_string(utc(2025, 3, 10, 9))}));
}

// The one question a query asks: which files reach these days, with their events.
TEST_F(StoreIndexTest, GivesTheFilesThatReachTheDaysWithTheirEvents) {
  march_titles();
  StoreIndex index(folder_.root());
  struct Case {
    double start, end;
    std::set<std::string> names;
  };
  const Case cases[] = {
      // A day's margin before each occurrence, two after.
      {utc(2025, 3, 10), utc(2025, 3, 11), {"near", "repeats"}},
      {utc(2025, 3, 12), utc(2025, 3, 13), {"near"}},
      {utc(2025, 3, 18), utc(2025, 3, 19), {}},
      {utc(2024, 1, 10, 9), utc(2024, 1, 10, 10), {"far"}},
      {utc(2026, 1, 1), utc(2026, 2, 1), {}},
  };
  for (const Case& c : cases) {
    auto rows = index.reaching("home", platform::local::days_of(Date{c.start}, Date{c.end}));
    ASSERT_TRUE(rows.has_value());
    std::set<std::string> names;
    for (const auto& [name, row] : *rows) {
      names.insert(name);
      // No query parsed "far": its text alone told its days.
      EXPECT_EQ(row.event_digest.empty(), name == "far") << name;
    }
    EXPECT_EQ(names, c.names) << c.start;
  }
}

TEST_F(StoreIndexTest, ACollectionToldByItsItemsIsNotReadAgainEither) {
  // Without a components file the first query parses every file to learn its kind.
  folder_.add_collection("synced", "Synced");
  for (const char* name : {"far", "near"}) {
    folder_.write(std::string("synced/") + name + ".ics", event_file(name, name == std::string("far") ? "20240110" : "20250312"));
    set_modified(folder_.path(std::string("synced/") + name + ".ics"), 1700000000);
  }
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "near", "repeats"}));
  folder_.write("synced/far.ics", event_file("xyz", "20250311"));
  set_modified(folder_.path("synced/far.ics"), 1700000000);
  EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "near", "repeats"}));
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

TEST_F(StoreIndexTest, RowsOfAVersionThatReadNoStreamsAreNotTrusted) {
  folder_.write("home/stream.ics", std::string(store_test::kStreamFirst) + store_test::kStreamSecond);
  auto stream_titles = [&] {
    Titles titles = march_titles();
    std::erase_if(titles, [](const std::string& title) { return title != "Weekly" && title != "On board"; });
    return titles;
  };
  const Titles expected = {"Weekly", "Weekly", "On board", "Weekly"};
  EXPECT_EQ(stream_titles(), expected);
  // What an index of an earlier version says of such a file: it holds no item.
  sql(index_path(), "UPDATE items SET kind=3, events=NULL WHERE name='stream'; DELETE FROM reach WHERE name='stream';"
                    "PRAGMA user_version=10;");
  EXPECT_EQ(stream_titles(), expected);
}

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

// One fixture store: event bodies, each the lines of one VEVENT after its UID.
struct FixtureStore {
  const char* name;
  std::vector<std::string> bodies;
};

class SameAnswersTest : public testing::TestWithParam<FixtureStore> {};

std::vector<std::string> occurrences(const std::string& root, double start, double end) {
  platform::local::LocalPlatform platform(root);
  auto store = platform.open_event_store();
  std::vector<std::string> found;
  for (const auto& event :
       store->events_matching(Date{start}, Date{end}, store->calendars_for_entity_type(EntityType::event))) {
    found.push_back(event.calendar_item_identifier + " " + std::to_string(event.start_date.seconds_since_1970) + " " +
                    std::to_string(event.end_date.seconds_since_1970) + " " + event.title);
  }
  return found;
}

// Without an index, while it is made, and from it: every window gets the same answer.
TEST_P(SameAnswersTest, WithAndWithoutTheIndex) {
  platform::local::testing::MachineSettings settings;
  settings.zone("America/New_York");
  store_test::StoreFolder with, without;
  for (auto* folder : {&with, &without}) {
    folder->add_collection("cal", "Cal", "VEVENT");
    int n = 0;
    for (const std::string& body : GetParam().bodies) {
      std::string name = "cal/e" + std::to_string(n++) + ".ics";
      folder->write(name, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:u" + std::to_string(n) +
                              "\r\nSUMMARY:s" + std::to_string(n) + "\r\n" + body + "END:VEVENT\r\nEND:VCALENDAR\r\n");
      set_modified(folder->path(name), 1700000000);
    }
  }
  ASSERT_EQ(::mkdir(without.path(".index.sqlite").c_str(), 0755), 0);
  const std::pair<double, double> windows[] = {{utc(2025, 3, 1), utc(2025, 3, 31)},
                                               {utc(2024, 12, 30), utc(2025, 1, 2)},
                                               {utc(2025, 6, 1), utc(2026, 6, 1)},
                                               {utc(2023, 1, 1), utc(2023, 1, 8)}};
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [start, end] : windows) {
      EXPECT_EQ(occurrences(with.root(), start, end), occurrences(without.root(), start, end)) << pass << " " << start;
    }
  }
  EXPECT_EQ(StoreIndex(with.root()).files_in("cal").size(), GetParam().bodies.size());
}

INSTANTIATE_TEST_SUITE_P(
    Stores, SameAnswersTest,
    testing::Values(
        FixtureStore{"Single",
                     {"DTSTART:20250301T040000Z\r\nDTEND:20250301T050000Z\r\n", "DTSTART;VALUE=DATE:20250331\r\n",
                      "DTSTART;TZID=Asia/Tokyo:20250101T080000\r\nDURATION:PT2H\r\n",
                      "DTSTART:20240101T000000Z\r\nDTEND:20250302T000000Z\r\n", "DTSTART:20230105T120000\r\n"}},
        FixtureStore{"Repeating",
                     {"DTSTART:20240101T090000Z\r\nRRULE:FREQ=WEEKLY;UNTIL=20250301T085959Z\r\n",
                      "DTSTART:20240101T090000Z\r\nRRULE:FREQ=MONTHLY;COUNT=15\r\n",
                      "DTSTART;VALUE=DATE:20221231\r\nRRULE:FREQ=YEARLY;UNTIL=20250101\r\n",
                      "DTSTART:20250331T230000\r\nRRULE:FREQ=DAILY\r\n",
                      "DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;INTERVAL=40;UNTIL=20250601T000000Z\r\n"
                      "EXDATE:20240210T090000Z\r\n"}},
        FixtureStore{"Overrides",
                     {"DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20240110T000000Z\r\n"
                      "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:u1\r\nRECURRENCE-ID:20240105T090000Z\r\n"
                      "DTSTART:20250310T090000Z\r\n",
                      "DTSTART:20240101T090000Z\r\nRDATE:20250315T090000Z\r\n"}}),
    [](const testing::TestParamInfo<FixtureStore>& info) { return std::string(info.param.name); });

TEST_F(StoreIndexTest, AReadOnlyRootWorksWithoutOrWithItsOldIndex) {
  if (store_test::running_as_root()) GTEST_SKIP() << "root writes where the permission bits say it may not";
  for (bool indexed_before : {false, true}) {
    if (indexed_before) march_titles();
    ASSERT_EQ(::chmod(folder_.root().c_str(), 0555), 0);
    add_event("far", "20250312");  // the collection folder itself stays writable
    EXPECT_EQ(march_titles(), (Titles{"repeats", "repeats", "near", "far", "repeats"}));
    ASSERT_EQ(::chmod(folder_.root().c_str(), 0755), 0);
    add_event("far", "20240110");
  }
}

// Stores of several processes make and use one index at the same time.
TEST_F(StoreIndexTest, StoresAtTheSameTimeShareIt) {
  for (int i = 0; i < 40; ++i) add_event("more" + std::to_string(i), i % 2 ? "20250320" : "20240320");
  std::vector<std::vector<std::string>> answers(6);
  std::vector<std::thread> stores;
  for (auto& answer : answers) stores.emplace_back([&] { answer = march_titles(); });
  for (auto& store : stores) store.join();
  for (const auto& answer : answers) EXPECT_EQ(answer, march_titles());
  EXPECT_EQ(answers[0].size(), 24u);
  EXPECT_EQ(indexed_names().size(), 43u);
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
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "todo/old"))), "");

  auto rows = StoreIndex(folder.root()).files_in("todo");
  ASSERT_EQ(rows.size(), 1u);
  std::string name = reminder.calendar_item_identifier().substr(5);
  ASSERT_EQ(rows[0].first, name);
  const platform::local::IndexedFile& row = rows[0].second;
  struct stat st;
  ASSERT_EQ(::stat(folder.path("todo/" + name + ".ics").c_str(), &st), 0);
  EXPECT_EQ(row.stamp.inode, st.st_ino);
  EXPECT_EQ(row.stamp.size, st.st_size);
  EXPECT_EQ(row.stamp.modified_ns, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
}

}  // namespace
