// Files holding several items, as calendars exported from other programs do: every
// UID is one item, shown and written on its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "local_store/event_test_env.h"
#include "local_store/exported_calendars.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::EntityType;
using platform::Reminder;
using platform::local::testing::utc;
using store_test::StoreFolder;

struct ShownEvent {
  double start;
  std::string identifier;
  std::string title;
  friend bool operator==(const ShownEvent&, const ShownEvent&) = default;
};

std::ostream& operator<<(std::ostream& out, const ShownEvent& e) {
  return out << "{" << e.start << ", " << e.identifier << ", " << e.title << "}";
}

// The text with the lines from the one that starts with `first` to the one that
// starts with `last` after it (both included) taken out.
std::string without_block(const std::string& text, const std::string& first, const std::string& last) {
  std::size_t from = text.find(first);
  std::size_t to = text.find(last, from);
  std::size_t end = text.find('\n', to) + 1;
  return text.substr(0, from) + text.substr(end);
}

std::string calendar_of(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example Corp.//Exporter 2.1//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string one_item(const char* kind, const char* uid) {
  return calendar_of(std::string("BEGIN:") + kind + "\r\nUID:" + uid + "\r\nDTSTART:20250301T090000Z\r\nEND:" + kind +
                     "\r\n");
}

class MultiItemFileTest : public testing::Test {
 protected:
  MultiItemFileTest() { settings_.zone("UTC"); }

  std::vector<ShownEvent> march_events(const std::string& collection) {
    auto store = platform_.open_event_store();
    std::vector<platform::CalendarRef> chosen;
    for (const auto& calendar : store->calendars_for_entity_type(EntityType::event)) {
      if (calendar->identifier == collection) chosen.push_back(calendar);
    }
    std::vector<ShownEvent> shown;
    for (const auto& e : store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}, chosen)) {
      shown.push_back({e.start_date.seconds_since_1970, e.calendar_item_identifier, e.title});
    }
    return shown;
  }

  platform::local::testing::MachineSettings settings_;
  StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

TEST_F(MultiItemFileTest, EveryEventOfAGoogleExportWithItsOverrides) {
  folder_.add_collection("team", "Team");
  folder_.write("team/export.ics", store_test::kGoogleExport);
  const std::string sync = "team/export/5l1kq3f9o0t7c2m8b4v6n1r3s5@google.com";
  const std::vector<ShownEvent> expected = {
      {utc(2025, 3, 3, 9), sync, "Team sync"},
      {utc(2025, 3, 5), "team/export/0a9s8d7f6g5h4j3k2l1@google.com", "Offsite"},
      {utc(2025, 3, 11, 14), sync, "Team sync (moved)"},
      {utc(2025, 3, 17, 9), sync, "Team sync"},
      {utc(2025, 3, 20, 16), "team/export/7r6e5w4q3@google.com", "Call with Ana"},
  };
  EXPECT_EQ(march_events("team"), expected);
  // The second run answers from the index the first one made.
  EXPECT_EQ(march_events("team"), expected);
}

TEST_F(MultiItemFileTest, EveryEventOfAnOutlookExportWithItsOverrides) {
  folder_.add_collection("kalender", "Kalender", "VEVENT");
  folder_.write("kalender/Kalender.ics", store_test::kOutlookExport);
  // The UIDs as the file folds them.
  const std::string standup =
      "kalender/Kalender/040000008200E00074C5B7101A82E00800000000A0C3F1E6D489DB01000000000000000"
      "0100000002F1B7C5A0E3D6948B1A2C3D4E5F60718";
  const std::string lunch =
      "kalender/Kalender/040000008200E00074C5B7101A82E00800000000B1D4E2F7E589DB01000000000000000"
      "010000000AABBCCDDEEFF00112233445566778899";
  EXPECT_EQ(march_events("kalender"), (std::vector<ShownEvent>{
                                          {utc(2025, 3, 4, 8), standup, "Stand-up"},
                                          {utc(2025, 3, 5, 9), standup, "Stand-up (später)"},
                                          {utc(2025, 3, 5, 11, 30), lunch, "Mittagessen"},
                                          {utc(2025, 3, 6, 8), standup, "Stand-up"},
                                      }));
}

TEST_F(MultiItemFileTest, AnItemOfSeveralIsFoundByItsIdentifierOnly) {
  folder_.add_collection("team", "Team", "VEVENT");
  folder_.write("team/export.ics", store_test::kGoogleExport);
  auto store = platform_.open_event_store();
  auto item = store->calendar_item_with_identifier("team/export/7r6e5w4q3@google.com");
  ASSERT_TRUE(item && std::holds_alternative<platform::Event>(*item));
  const auto& event = std::get<platform::Event>(*item);
  EXPECT_EQ(event.title, "Call with Ana");
  EXPECT_EQ(event.calendar_item_identifier, "team/export/7r6e5w4q3@google.com");
  EXPECT_EQ(event.external_identifier, "7r6e5w4q3@google.com");
  EXPECT_EQ(event.start_date, Date{utc(2025, 3, 20, 16)});
  for (const char* missing : {"team/export", "team/export/", "team/export/nobody@google.com"}) {
    EXPECT_FALSE(store->calendar_item_with_identifier(missing)) << missing;
  }
}

TEST_F(MultiItemFileTest, EveryReminderOfAnAppleExport) {
  folder_.add_collection("errands", "Errands", "VTODO");
  folder_.write("errands/tasks.ics", store_test::kAppleTasks);
  auto store = platform_.open_event_store();
  auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "errands")});
  EXPECT_EQ(fetched.identifiers, (std::vector<std::string>{"errands/tasks/1A2B3C4D-5E6F-4A7B-8C9D-0E1F2A3B4C5D",
                                                           "errands/tasks/7C1D4A2E-8B3F-4E21-9A0C-5D6E7F8A9B01",
                                                           "errands/tasks/9E8D7C6B-5A49-4382-B1C0-DFEEDDCCBBAA"}));
  ASSERT_EQ(fetched.reminders.size(), 3u);
  EXPECT_EQ(fetched.reminders[0].title(), "Call the plumber");
  EXPECT_TRUE(fetched.reminders[0].is_completed());
  EXPECT_EQ(fetched.reminders[2].notes(), std::optional<std::string>("Ask for the blue one, not the green one."));
  EXPECT_EQ(fetched.reminders[2].alarms().size(), 1u);
  // A fresh store reads the same from the index and the files.
  Reminder read = store_test::stored_reminder(*platform_.open_event_store(),
                                              "errands/tasks/7C1D4A2E-8B3F-4E21-9A0C-5D6E7F8A9B01");
  EXPECT_EQ(read.title(), "Buy milk");
  EXPECT_EQ(read.calendar_item_external_identifier(), "7C1D4A2E-8B3F-4E21-9A0C-5D6E7F8A9B01");
  auto again = store_test::fetch_and_wait(*platform_.open_event_store(), {store_test::list_named(*store, "errands")});
  EXPECT_EQ(again.identifiers, fetched.identifiers);
}

TEST_F(MultiItemFileTest, ASaveChangesOnlyItsItemAndKeepsEveryOtherByte) {
  folder_.add_collection("errands", "Errands", "VTODO");
  const std::string original = store_test::kAppleTasks;
  folder_.write("errands/tasks.ics", original);
  const std::string id = "errands/tasks/9E8D7C6B-5A49-4382-B1C0-DFEEDDCCBBAA";
  auto store = platform_.open_event_store();
  Reminder reminder = store_test::stored_reminder(*store, id);
  reminder.set_title("Pick up the parcel today");
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  EXPECT_EQ(reminder.calendar_item_identifier(), id);

  std::string text = folder_.read("errands/tasks.ics");
  // Before the item's VTODO and after it, the file is as it was.
  std::size_t begin = original.find("BEGIN:VTODO\nCREATED:20250302T101111Z");
  std::size_t end = original.find("END:VTODO\n", begin) + 10;
  ASSERT_GT(text.size(), begin);
  EXPECT_EQ(text.substr(0, begin), original.substr(0, begin));
  EXPECT_EQ(text.substr(text.size() - (original.size() - end)), original.substr(end));
  std::string block = text.substr(begin, text.size() - (original.size() - end) - begin);
  EXPECT_NE(block.find("\nSUMMARY:Pick up the parcel today\n"), std::string::npos) << block;
  EXPECT_NE(block.find("\nX-APPLE-SORT-ORDER:761233871\n"), std::string::npos) << block;
  EXPECT_NE(block.find("\nX-WR-ALARMUID:0F1E2D3C-4B5A-4697-8877-665544332211\n"), std::string::npos) << block;

  auto fetched = store_test::fetch_and_wait(*platform_.open_event_store(), {store_test::list_named(*store, "errands")});
  ASSERT_EQ(fetched.reminders.size(), 3u);
  EXPECT_EQ(fetched.reminders[0].title(), "Call the plumber");
  EXPECT_EQ(fetched.reminders[1].title(), "Buy milk");
  EXPECT_EQ(fetched.reminders[2].title(), "Pick up the parcel today");
}

TEST_F(MultiItemFileTest, ADeleteTakesOutOnlyItsItemUntilTheLastGoesWithTheFile) {
  folder_.add_collection("errands", "Errands", "VTODO");
  const std::string original = store_test::kAppleTasks;
  folder_.write("errands/tasks.ics", original);
  auto store = platform_.open_event_store();
  Reminder parcel = store_test::stored_reminder(*store, "errands/tasks/9E8D7C6B-5A49-4382-B1C0-DFEEDDCCBBAA");
  ASSERT_EQ(store_test::refusal(store->remove_reminder(parcel)), "");
  std::string expected = without_block(original, "BEGIN:VTODO\nCREATED:20250302T101111Z", "END:VTODO");
  EXPECT_EQ(folder_.read("errands/tasks.ics"), expected);
  // Removing it again finds nothing to remove.
  EXPECT_EQ(store_test::refusal(store->remove_reminder(parcel)), "");
  EXPECT_EQ(folder_.read("errands/tasks.ics"), expected);

  auto fresh = platform_.open_event_store();
  Reminder milk = store_test::stored_reminder(*fresh, "errands/tasks/7C1D4A2E-8B3F-4E21-9A0C-5D6E7F8A9B01");
  ASSERT_EQ(store_test::refusal(fresh->remove_reminder(milk)), "");
  // One item left: the file is that item's, named without a UID.
  auto last = store_test::fetch_and_wait(*platform_.open_event_store(), {store_test::list_named(*fresh, "errands")});
  EXPECT_EQ(last.identifiers, std::vector<std::string>{"errands/tasks"});
  ASSERT_EQ(last.reminders.size(), 1u);
  ASSERT_EQ(store_test::refusal(platform_.open_event_store()->remove_reminder(last.reminders[0])), "");
  EXPECT_FALSE(folder_.exists("errands/tasks.ics"));
}

TEST_F(MultiItemFileTest, UidsThatDifferInBytesThatAreNoUtf8KeepDistinctIdentifiers) {
  folder_.add_collection("errands", "Errands", "VTODO");
  const std::string original =
      "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Apple Inc.//macOS 14.4//EN\n"
      "BEGIN:VTODO\nUID:bad\xff\xfe\nSUMMARY:One\nEND:VTODO\n"
      "BEGIN:VTODO\nUID:bad\xff\xfd\nSUMMARY:Two\nEND:VTODO\n"
      "BEGIN:VTODO\nUID:b\nSUMMARY:Three\nEND:VTODO\n"
      "END:VCALENDAR\n";
  folder_.write("errands/tasks.ics", original);
  auto store = platform_.open_event_store();
  auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "errands")});
  EXPECT_EQ(fetched.identifiers, (std::vector<std::string>{"errands/tasks/b", "errands/tasks/bad%FF%FD",
                                                           "errands/tasks/bad%FF%FE"}));
  ASSERT_EQ(fetched.reminders.size(), 3u);
  EXPECT_EQ(fetched.reminders[1].title(), "Two");
  EXPECT_EQ(fetched.reminders[2].title(), "One");
  ASSERT_EQ(store_test::refusal(platform_.open_event_store()->remove_reminder(fetched.reminders[1])), "");
  EXPECT_EQ(folder_.read("errands/tasks.ics"), without_block(original, "BEGIN:VTODO\nUID:bad\xff\xfd", "END:VTODO"));
  Reminder one = store_test::stored_reminder(*platform_.open_event_store(), "errands/tasks/bad%FF%FE");
  EXPECT_EQ(one.title(), "One");
}

// Exports may leave out UIDs: each such component is an item of its own, named by
// the SHA-256 of its text, and given a UID when saved.
const std::string kTasksWithoutUids = calendar_of(
    "BEGIN:VTODO\r\nSUMMARY:buy milk\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nSUMMARY:call mom\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nUID:u1\r\nSUMMARY:with uid\r\nEND:VTODO\r\n");
const std::string kMilk = "errands/tasks/#28a782f97664afd0";
const std::string kMom = "errands/tasks/#c0c03bfaa4edf650";

TEST_F(MultiItemFileTest, TasksWithoutUidsAreEachShown) {
  folder_.add_collection("errands", "Errands", "VTODO");
  folder_.write("errands/tasks.ics", kTasksWithoutUids);
  for (int run = 0; run < 2; ++run) {
    auto store = platform_.open_event_store();
    auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "errands")});
    EXPECT_EQ(fetched.identifiers, (std::vector<std::string>{kMilk, kMom, "errands/tasks/u1"})) << run;
    ASSERT_EQ(fetched.reminders.size(), 3u);
    EXPECT_EQ(fetched.reminders[0].title(), "buy milk");
    EXPECT_EQ(fetched.reminders[1].title(), "call mom");
    EXPECT_EQ(store_test::stored_reminder(*platform_.open_event_store(), kMom).title(), "call mom");
  }
}

TEST_F(MultiItemFileTest, ASavedTaskWithoutUidGetsOneAndItsNeighboursStay) {
  folder_.add_collection("errands", "Errands", "VTODO");
  folder_.write("errands/tasks.ics", kTasksWithoutUids);
  auto store = platform_.open_event_store();
  Reminder mom = store_test::stored_reminder(*store, kMom);
  mom.set_title("call mom tonight");
  ASSERT_EQ(store_test::refusal(store->save_reminder(mom)), "");
  std::string text = folder_.read("errands/tasks.ics");
  const std::string milk_block = "BEGIN:VTODO\r\nSUMMARY:buy milk\r\nEND:VTODO\r\n";
  EXPECT_EQ(text.find(milk_block), kTasksWithoutUids.find(milk_block)) << text;
  EXPECT_NE(text.find("BEGIN:VTODO\r\nUID:u1\r\nSUMMARY:with uid\r\nEND:VTODO\r\n"), std::string::npos) << text;
  // The saved one is named by its new UID from now on; the stale name names nothing.
  const std::string& saved = mom.calendar_item_identifier();
  ASSERT_EQ(saved.rfind("errands/tasks/", 0), 0u);
  std::string uid = saved.substr(std::string("errands/tasks/").size());
  EXPECT_EQ(uid.size(), 36u) << uid;
  EXPECT_NE(text.find("UID:" + uid + "\r\n"), std::string::npos) << text;
  auto fresh = platform_.open_event_store();
  auto fetched = store_test::fetch_and_wait(*fresh, {store_test::list_named(*fresh, "errands")});
  ASSERT_EQ(fetched.reminders.size(), 3u);
  EXPECT_EQ(fetched.identifiers[0], kMilk);
  EXPECT_EQ(store_test::stored_reminder(*fresh, saved).title(), "call mom tonight");
  EXPECT_FALSE(fresh->calendar_item_with_identifier(kMom));
}

TEST_F(MultiItemFileTest, ADeletedTaskWithoutUidTakesOnlyItsOwnLines) {
  folder_.add_collection("errands", "Errands", "VTODO");
  folder_.write("errands/tasks.ics", kTasksWithoutUids);
  auto store = platform_.open_event_store();
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, kMilk))), "");
  EXPECT_EQ(folder_.read("errands/tasks.ics"),
            without_block(kTasksWithoutUids, "BEGIN:VTODO\r\nSUMMARY:buy milk", "END:VTODO"));
}

TEST_F(MultiItemFileTest, EventsWithoutUidsAreEachShown) {
  folder_.add_collection("home", "Home", "VEVENT");
  folder_.write("home/export.ics",
                calendar_of("BEGIN:VEVENT\r\nDTSTART:20250310T090000Z\r\nSUMMARY:first\r\nEND:VEVENT\r\n"
                            "BEGIN:VEVENT\r\nDTSTART:20250311T090000Z\r\nSUMMARY:second\r\nEND:VEVENT\r\n"));
  const std::vector<ShownEvent> expected = {{utc(2025, 3, 10, 9), "home/export/#59e057bbbfe68879", "first"},
                                            {utc(2025, 3, 11, 9), "home/export/#9383a7a8b185f79e", "second"}};
  EXPECT_EQ(march_events("home"), expected);
  EXPECT_EQ(march_events("home"), expected);  // from the index
}

// Files holding events and tasks together: each kind keeps its own items, even
// under one UID, and each item shows its own fields.
std::string event_of(const char* uid, int day, const char* title) {
  return std::string("BEGIN:VEVENT\r\nUID:") + uid + "\r\nDTSTART:202503" + std::to_string(day) +
         "T090000Z\r\nSUMMARY:" + title + "\r\nEND:VEVENT\r\n";
}

std::string task_of(const char* uid, const char* title) {
  return std::string("BEGIN:VTODO\r\nUID:") + uid + "\r\nSUMMARY:" + title + "\r\nEND:VTODO\r\n";
}

struct MixedKindsCase {
  const char* name;
  std::string body;  // the components of the file's VCALENDAR
  std::vector<ShownEvent> events;
  std::vector<std::string> tasks;  // identifier and title of each, "identifier: title"
};

TEST_F(MultiItemFileTest, EventsAndTasksOfOneFileEachShowTheirOwnFields) {
  folder_.add_collection("mix", "Mix", "VEVENT\nVTODO");
  const MixedKindsCase cases[] = {
      {"an event and a task of one UID", event_of("same", 10, "the event") + task_of("same", "the task"),
       {{utc(2025, 3, 10, 9), "mix/both/same", "the event"}}, {"mix/both/same: the task"}},
      {"a task and an event of one UID", task_of("same", "the task") + event_of("same", 10, "the event"),
       {{utc(2025, 3, 10, 9), "mix/both/same", "the event"}}, {"mix/both/same: the task"}},
      {"kinds in turn",
       event_of("e1", 11, "event one") + task_of("t1", "task one") + task_of("t2", "task two") +
           event_of("e2", 12, "event two"),
       {{utc(2025, 3, 11, 9), "mix/both/e1", "event one"}, {utc(2025, 3, 12, 9), "mix/both/e2", "event two"}},
       {"mix/both/t1: task one", "mix/both/t2: task two"}},
  };
  for (const MixedKindsCase& c : cases) {
    folder_.write("mix/both.ics", calendar_of(c.body));
    // Once from the file, once more through the index the first store made.
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(march_events("mix"), c.events) << c.name << run;
      auto store = platform_.open_event_store();
      auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "mix")});
      std::vector<std::string> tasks;
      for (std::size_t i = 0; i < fetched.reminders.size(); ++i) {
        tasks.push_back(fetched.identifiers.at(i) + ": " + fetched.reminders[i].title());
      }
      EXPECT_EQ(tasks, c.tasks) << c.name << run;
    }
  }
}

TEST_F(MultiItemFileTest, ATaskUnderItsEventsUidIsDeletedAloneAndSavedAlone) {
  folder_.add_collection("mix", "Mix", "VEVENT\nVTODO");
  const std::string event = event_of("same", 10, "the event");
  folder_.write("mix/both.ics", calendar_of(event + task_of("same", "the task")));
  auto store = platform_.open_event_store();
  Reminder task = store_test::stored_reminder(*store, "mix/both/same");
  task.set_title("renamed");
  ASSERT_EQ(store_test::refusal(store->save_reminder(task)), "");
  EXPECT_EQ(store_test::stored_reminder(*platform_.open_event_store(), "mix/both/same").title(), "renamed");
  EXPECT_EQ(folder_.read("mix/both.ics").find(event), calendar_of("").find("END:VCALENDAR"));
  ASSERT_EQ(store_test::refusal(store->remove_reminder(task)), "");
  EXPECT_EQ(folder_.read("mix/both.ics"), calendar_of(event));
  EXPECT_EQ(march_events("mix"), (std::vector<ShownEvent>{{utc(2025, 3, 10, 9), "mix/both", "the event"}}));
}

TEST_F(MultiItemFileTest, AFileWithAByteOrderMarkIsSavedAndDeletedKeepingTheMark) {
  folder_.add_collection("errands", "Errands", "VTODO");
  const std::string original = "\xEF\xBB\xBF" + calendar_of(
      "BEGIN:VTODO\r\nUID:a\r\nSUMMARY:one\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:b\r\nSUMMARY:two\r\nEND:VTODO\r\n");
  folder_.write("errands/tasks.ics", original);
  folder_.write("errands/single.ics", "\xEF\xBB\xBF" + one_item("VTODO", "s"));
  auto store = platform_.open_event_store();
  Reminder one = store_test::stored_reminder(*store, "errands/tasks/a");
  one.set_title("one, renamed");
  ASSERT_EQ(store_test::refusal(store->save_reminder(one)), "");
  Reminder single = store_test::stored_reminder(*store, "errands/single");
  single.set_title("single, renamed");
  ASSERT_EQ(store_test::refusal(store->save_reminder(single)), "");
  EXPECT_EQ(folder_.read("errands/single.ics").rfind("\xEF\xBB\xBF" "BEGIN:VCALENDAR\r\n", 0), 0u);
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "errands/tasks/b"))), "");
  std::string text = folder_.read("errands/tasks.ics");
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF" "BEGIN:VCALENDAR\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("SUMMARY:one\\, renamed\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("UID:b"), std::string::npos) << text;
  EXPECT_EQ(store_test::stored_reminder(*platform_.open_event_store(), "errands/single").title(), "single, renamed");
}

TEST_F(MultiItemFileTest, EveryCutOffCopyOfAFileOfSeveralTasksLoadsOrIsLeftOut) {
  folder_.add_collection("errands", "Errands");
  const std::string text = store_test::kAppleTasks;
  // Cut after each line and just before its line break (every length is read without
  // files by ExportedFiles.EveryCutOffCopyReadsOrIsTurnedDown).
  for (std::size_t length = 0; length <= text.size(); ++length) {
    if (length != 0 && length != text.size() && text[length] != '\n' && text[length - 1] != '\n') continue;
    folder_.write("errands/tasks.ics", text.substr(0, length));
    auto store = platform_.open_event_store();
    auto lists = store->calendars_for_entity_type(EntityType::reminder);
    ASSERT_EQ(lists.size(), 1u) << length;
    auto fetched = store_test::fetch_and_wait(*store, lists);
    ASSERT_TRUE(fetched.had_array) << length;
    EXPECT_LE(fetched.identifiers.size(), 3u) << length;
    for (const std::string& id : fetched.identifiers) {
      auto item = platform_.open_event_store()->calendar_item_with_identifier(id);
      EXPECT_TRUE(item && std::holds_alternative<Reminder>(*item)) << length << " " << id;
    }
  }
}

// Two revisions of one item: which one the store shows.
struct RevisionCase {
  const char* name;
  const char* first;   // the first revision's lines
  const char* second;  // the second's
  const char* shown;   // the SUMMARY of the one that wins
};

const RevisionCase kRevisionCases[] = {
    {"higher sequence, though older", "SEQUENCE:2\r\nLAST-MODIFIED:20250101T000000Z\r\nSUMMARY:first\r\n",
     "SEQUENCE:1\r\nLAST-MODIFIED:20250301T000000Z\r\nSUMMARY:second\r\n", "first"},
    {"a sequence beats none", "SUMMARY:first\r\n", "SEQUENCE:1\r\nSUMMARY:second\r\n", "second"},
    {"same sequence, later last-modified",
     "SEQUENCE:3\r\nLAST-MODIFIED:20250301T000000Z\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:first\r\n",
     "SEQUENCE:3\r\nLAST-MODIFIED:20250201T000000Z\r\nDTSTAMP:20250401T000000Z\r\nSUMMARY:second\r\n", "first"},
    {"a last-modified beats none", "SEQUENCE:1\r\nLAST-MODIFIED:20250101T000000Z\r\nSUMMARY:first\r\n",
     "SEQUENCE:1\r\nDTSTAMP:20250401T000000Z\r\nSUMMARY:second\r\n", "first"},
    {"same last-modified, later stamp",
     "LAST-MODIFIED:20250101T000000Z\r\nDTSTAMP:20250102T000000Z\r\nSUMMARY:first\r\n",
     "LAST-MODIFIED:20250101T000000Z\r\nDTSTAMP:20250101T120000Z\r\nSUMMARY:second\r\n", "first"},
    {"all the same: the later in the file", "SEQUENCE:0\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:first\r\n",
     "SEQUENCE:0\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:second\r\n", "second"},
    {"nothing to tell them apart", "SUMMARY:first\r\n", "SUMMARY:second\r\n", "second"},
};

TEST_F(MultiItemFileTest, TwoRevisionsOfAnEvent) {
  folder_.add_collection("home", "Home", "VEVENT");
  for (const RevisionCase& c : kRevisionCases) {
    std::string event = "BEGIN:VEVENT\r\nUID:rev@example.com\r\nDTSTART:20250310T090000Z\r\n";
    folder_.write("home/rev.ics", calendar_of(event + c.first + "END:VEVENT\r\n" + event + c.second + "END:VEVENT\r\n"));
    EXPECT_EQ(march_events("home"), (std::vector<ShownEvent>{{utc(2025, 3, 10, 9), "home/rev", c.shown}})) << c.name;
  }
}

TEST_F(MultiItemFileTest, TwoRevisionsOfAnOverride) {
  folder_.add_collection("home", "Home", "VEVENT");
  const std::string master =
      "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTART:20250303T090000Z\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:master\r\n"
      "END:VEVENT\r\n";
  for (const RevisionCase& c : kRevisionCases) {
    std::string moved = "BEGIN:VEVENT\r\nUID:weekly\r\nRECURRENCE-ID:20250310T090000Z\r\nDTSTART:20250311T090000Z\r\n";
    folder_.write("home/weekly.ics",
                  calendar_of(moved + c.first + "END:VEVENT\r\n" + master + moved + c.second + "END:VEVENT\r\n"));
    EXPECT_EQ(march_events("home"), (std::vector<ShownEvent>{{utc(2025, 3, 3, 9), "home/weekly", "master"},
                                                             {utc(2025, 3, 11, 9), "home/weekly", c.shown},
                                                             {utc(2025, 3, 17, 9), "home/weekly", "master"}}))
        << c.name;
  }
}

TEST_F(MultiItemFileTest, TwoRevisionsOfAReminderAndASaveKeepsOnlyTheNewer) {
  folder_.add_collection("todo", "Todo", "VTODO");
  for (const RevisionCase& c : kRevisionCases) {
    std::string todo = "BEGIN:VTODO\r\nUID:rev\r\n";
    folder_.write("todo/rev.ics", calendar_of(todo + c.first + "END:VTODO\r\n" + todo + c.second + "END:VTODO\r\n"));
    auto store = platform_.open_event_store();
    EXPECT_EQ(store_test::stored_reminder(*store, "todo/rev").title(), c.shown) << c.name;
    auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")});
    ASSERT_EQ(fetched.reminders.size(), 1u) << c.name;
    EXPECT_EQ(fetched.reminders[0].title(), c.shown) << c.name;

    Reminder reminder = store_test::stored_reminder(*store, "todo/rev");
    reminder.set_priority(5);
    ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "") << c.name;
    std::string text = folder_.read("todo/rev.ics");
    EXPECT_EQ(text.find("BEGIN:VTODO"), text.rfind("BEGIN:VTODO")) << c.name << "\n" << text;
    EXPECT_NE(text.find(std::string("SUMMARY:") + c.shown + "\r\n"), std::string::npos) << c.name << "\n" << text;
    EXPECT_EQ(store_test::stored_reminder(*platform_.open_event_store(), "todo/rev").priority(), 5) << c.name;
  }
}

// Which kinds a collection without a `components` file serves, told by its items.
struct InferenceCase {
  const char* name;
  std::vector<std::pair<const char*, std::string>> files;
  bool events;
  bool reminders;
};

TEST_F(MultiItemFileTest, CollectionsWithoutAComponentsFileAreToldByTheirItems) {
  const InferenceCase cases[] = {
      {"empty", {}, true, true},
      {"events only", {{"a.ics", one_item("VEVENT", "a")}, {"b.ics", one_item("VEVENT", "b")}}, true, false},
      {"reminders only", {{"a.ics", one_item("VTODO", "a")}, {"b.ics", one_item("VTODO", "b")}}, false, true},
      {"both, in two files", {{"a.ics", one_item("VEVENT", "a")}, {"b.ics", one_item("VTODO", "b")}}, true, true},
      {"both, in one file", {{"a.ics", calendar_of("BEGIN:VEVENT\r\nUID:a\r\nEND:VEVENT\r\nBEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\n")}},
       true, true},
      {"files that hold no item do not count",
       {{"a.ics", one_item("VTODO", "a")}, {"b.ics", "not iCalendar"}, {"c.ics", calendar_of("")}, {"d.txt", one_item("VEVENT", "d")}},
       false, true},
      {"an exported calendar", {{"export.ics", store_test::kGoogleExport}}, true, false},
  };
  for (const InferenceCase& c : cases) {
    StoreFolder folder;
    folder.add_collection("told", "Told");
    for (const auto& [name, text] : c.files) folder.write(std::string("told/") + name, text);
    platform::local::LocalPlatform platform(folder.root());
    // Once from the files, once more from the index the first store made.
    for (int run = 0; run < 2; ++run) {
      auto store = platform.open_event_store();
      EXPECT_EQ(store->calendars_for_entity_type(EntityType::event).size(), c.events ? 1u : 0u) << c.name << run;
      EXPECT_EQ(store->calendars_for_entity_type(EntityType::reminder).size(), c.reminders ? 1u : 0u) << c.name << run;
    }
  }
}

TEST_F(MultiItemFileTest, AnEventCollectionToldByItsItemsTakesNoNewReminder) {
  folder_.add_collection("team", "Team");
  folder_.add_collection("todo", "Todo", "VTODO");
  folder_.write("team/export.ics", store_test::kGoogleExport);
  auto store = platform_.open_event_store();
  Reminder reminder = store->new_reminder();
  auto team = std::make_shared<platform::Calendar>();
  team->identifier = "team";
  reminder.set_calendar(team);
  reminder.set_title("x");
  std::string refused = store_test::refusal(store->save_reminder(reminder));
  ASSERT_NE(refused, "");
  EXPECT_EQ(refused, "列表「Team」不能存放提醒事项。");
}

}  // namespace
