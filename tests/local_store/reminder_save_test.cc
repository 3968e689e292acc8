#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <tuple>

#include "local_store/event_test_env.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Reminder;
using store_test::StoreFolder;
namespace fs = std::filesystem;

// The entries of a collection folder besides its metadata files (temporary files included).
std::vector<std::string> folder_entries(const StoreFolder& folder, const std::string& collection) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path(collection))) {
    std::string name = entry.path().filename();
    if (name != "displayname" && name != "components" && name != "color") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ReminderSaveTest : public testing::Test {
 protected:
  ReminderSaveTest() {
    settings_.zone("UTC");
    folder_.add_collection("todo", "Todo", "VTODO");
    folder_.add_collection("other", "Other", "VTODO");
    folder_.add_collection("events", "Events", "VEVENT");
  }
  std::unique_ptr<platform::EventStore> open() { return platform_.open_event_store(); }
  void lock(const std::string& collection) {
    fs::permissions(folder_.path(collection), fs::perms::owner_write, fs::perm_options::remove);
  }

  platform::local::testing::MachineSettings settings_;
  StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

// Spaces are kept; a NUL, which no file can hold, is left out rather than ending the text.
TEST_F(ReminderSaveTest, TextsComeBackAsSavedLessNulCharacters) {
  using namespace std::string_literals;
  const struct {
    std::string title, notes, read_title, read_notes;
  } cases[] = {
      {"  Lunch, soon  ", " see\nyou ", "  Lunch, soon  ", " see\nyou "},
      {"a\0b"s, "\0x\0y"s, "ab", "xy"},
  };
  auto store = open();
  for (const auto& c : cases) {
    Reminder reminder = store->new_reminder();
    reminder.set_calendar(store_test::list_named(*store, "todo"));
    reminder.set_title(c.title);
    reminder.set_notes(c.notes);
    ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
    Reminder read = store_test::stored_reminder(*open(), reminder.calendar_item_identifier());
    EXPECT_EQ(read.title(), c.read_title);
    EXPECT_EQ(read.notes(), std::optional<std::string>(c.read_notes));
  }
}

TEST_F(ReminderSaveTest, NewReminderGetsAUuidFileAndUid) {
  auto store = open();
  Reminder reminder = store->new_reminder();
  EXPECT_TRUE(reminder.is_new());
  reminder.set_calendar(store_test::list_named(*store, "todo"));
  reminder.set_title("Call back");
  reminder.set_url(platform::Url{"zolt-task:task-1"});
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");

  EXPECT_FALSE(reminder.is_new());
  std::smatch match;
  const std::string& id = reminder.calendar_item_identifier();
  ASSERT_TRUE(std::regex_match(id, match, std::regex("todo/([0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12})")))
      << id;
  EXPECT_EQ(reminder.calendar_item_external_identifier(), match[1].str());
  std::string text = folder_.read("todo/" + match[1].str() + ".ics");
  auto lines = store_test::lines_without_stamps(text);
  EXPECT_EQ(lines, (std::vector<std::string>{"BEGIN:VCALENDAR", "VERSION:2.0",
                                             "PRODID:-//calendar-bridge//local calendar store//EN", "BEGIN:VTODO",
                                             "UID:" + match[1].str(), lines[5], "SUMMARY:Call back",
                                             "URL:zolt-task:task-1", "STATUS:NEEDS-ACTION", "END:VTODO",
                                             "END:VCALENDAR"}));
  EXPECT_TRUE(std::regex_match(lines[5], std::regex("CREATED:\\d{8}T\\d{6}Z")));

  // The saved reminder is found again, by this store and a fresh one.
  EXPECT_EQ(store_test::stored_reminder(*store, id).title(), "Call back");
  auto fetched = store_test::fetch_and_wait(*open(), {store_test::list_named(*store, "todo")});
  EXPECT_EQ(fetched.identifiers, std::vector<std::string>{id});
}

TEST_F(ReminderSaveTest, CompletingWritesStatusAndTimeOfCompletion) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSTATUS:NEEDS-ACTION\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_completed(true);
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  std::string text = folder_.read("todo/a.ics");
  EXPECT_NE(text.find("STATUS:COMPLETED\r\n"), std::string::npos) << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("\r\nCOMPLETED:\\d{8}T\\d{6}Z\r\n"))) << text;
  EXPECT_TRUE(store_test::stored_reminder(*open(), "todo/a").is_completed());
}

TEST_F(ReminderSaveTest, ChangingOneFieldKeepsEverythingElseByteForByte) {
  // As another tool writes it: LF line ends, folding, unknown properties,
  // parameters and components, properties libical cannot read.
  const std::string foreign =
      "BEGIN:VCALENDAR\n"
      "VERSION:2.0\n"
      "PRODID:-//Other Tool//EN\n"
      "X-WR-CALNAME:Tasks\n"
      "BEGIN:VTODO\n"
      "UID:foreign-1\n"
      "DTSTAMP:20200101T000000Z\n"
      "SUMMARY;LANGUAGE=en:Old title\n"
      "DESCRIPTION:A long description that another tool folded at a place of its \n"
      " own choosing\\, with escapes\n"
      "X-APPLE-SORT-ORDER;X-PARAM=\"quoted:value\":42\n"
      "CATEGORIES:home,errands\n"
      "FOO-UNKNOWN;BAR=1:iana token libical drops\n"
      "RRULE:FREQ=WEEKLY;X-NAME=keep;BYDAY=MO\n"
      "DUE;TZID=Europe/Paris:20250301T100000\n"
      "BEGIN:X-CUSTOM\n"
      "X-INNER:1\n"
      "END:X-CUSTOM\n"
      "BEGIN:VALARM\n"
      "ACTION:AUDIO\n"
      "TRIGGER;RELATED=END:-PT10M\n"
      "END:VALARM\n"
      "END:VTODO\n"
      "END:VCALENDAR\n";
  folder_.write("todo/f.ics", foreign);
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/f");
  reminder.set_title("New title");
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");

  std::string expected = foreign;
  expected.replace(expected.find("SUMMARY;LANGUAGE=en:Old title\n"), 30, "SUMMARY:New title\n");
  std::string text = folder_.read("todo/f.ics");
  EXPECT_EQ(store_test::lines_without_stamps(text), store_test::lines_without_stamps(expected));
  // Renewed stamps replace the old one in place; no CR crept into the LF file.
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find("DTSTAMP:20200101T000000Z"), std::string::npos);
  EXPECT_NE(text.find("UID:foreign-1\nDTSTAMP:"), std::string::npos) << text;
}

TEST_F(ReminderSaveTest, BareTodoIsWrappedWhenItNeedsATimeZone) {
  folder_.write("todo/bare.ics", "BEGIN:VTODO\r\nUID:bare\r\nSUMMARY:x\r\nEND:VTODO\r\n");
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/bare");
  platform::DateComponents due;
  due.calendar = platform::kGregorianCalendar;
  due.year = 2025, due.month = 3, due.day = 1, due.hour = 8;
  due.time_zone = platform::TimeZone::for_seconds_from_gmt(3600);
  reminder.set_due_date_components(due);
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  auto again = store_test::stored_reminder(*open(), "todo/bare");
  ASSERT_TRUE(again.due_date_components());
  EXPECT_EQ(again.due_date_components()->time_zone, platform::TimeZone::for_seconds_from_gmt(3600));
  EXPECT_EQ(again.title(), "x");
}

TEST_F(ReminderSaveTest, WritesOntoAFileChangedSinceItWasRead) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSUMMARY:one\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSUMMARY:one\r\nX-ADDED-ELSEWHERE:yes\r\n"));
  reminder.set_priority(1);
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  std::string text = folder_.read("todo/a.ics");
  EXPECT_NE(text.find("X-ADDED-ELSEWHERE:yes"), std::string::npos);
  EXPECT_NE(text.find("PRIORITY:1"), std::string::npos);
}

// Found by fuzzing: with an END that closes another component than its BEGIN, the
// completion was written into one VTODO while libical read another, and the save
// passed for done.
TEST_F(ReminderSaveTest, AFileWhoseLinesLibicalReadsOtherwiseIsNotWritten) {
  const std::string texts[] = {
      "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\r\nBEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\nEND:VCALEN\r\n"
      "BEGIN:VTODO\r\nUID:c\r\nEND:VTODO\r\nEND:VCALENDAR\r\n",
      store_test::todo_file("UID:a\r\n") + "END:VTODO\r\n",
      store_test::todo_file("UID:a\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VEVENT\r\n"),
      // A lone carriage return ends a line for libical only.
      store_test::todo_file("UID:a\r\nX-NOTE:one\rtwo\r\n"),
      // A name followed by a tab: found by fuzzing with "END\t: ".
      store_test::todo_file("UID:a\r\nX-NOTE\t:x\r\n"),
      // "BEGIN'" is no BEGIN to libical: the outer VTODO is not one.
      "BEGIN:VCALENDAR\r\nBEGIN':VTODO\r\nUID:outer\r\nBEGIN:VTODO\r\nUID:a\r\nEND:VTODO\r\nEND:VTODO\r\n"
      "END:VCALENDAR\r\n",
  };
  for (const std::string& text : texts) {
    folder_.write("todo/a.ics", text);
    auto store = open();
    // libical reads two items in the first (a, with b inside it, and c).
    std::string id = text == texts[0] ? "todo/a/a" : "todo/a";
    auto item = store->calendar_item_with_identifier(id);
    ASSERT_TRUE(item && std::holds_alternative<Reminder>(*item)) << text;
    Reminder reminder = std::get<Reminder>(*item);
    reminder.set_completed(true);
    std::string error = store_test::refusal(store->save_reminder(reminder));
    ASSERT_NE(error, "") << text;
    EXPECT_EQ(error, "无法识别提醒事项文件的内容：" + id);
    EXPECT_EQ(folder_.read("todo/a.ics"), text);
  }
}

// Found by fuzzing: a bare VTODO followed by a NUL byte reads, but wrapped in a
// VCALENDAR for a time zone its END:VCALENDAR fell behind the NUL, where libical
// stops: the file was written and then no longer read as a reminder.
TEST_F(ReminderSaveTest, ATextThatWouldNotReadBackIsNotWritten) {
  std::string text = "BEGIN:VTODO\r\nUID:a\r\nEND:VTODO\r\nX-A:1" + std::string(1, '\0') + "\r\n";
  folder_.write("todo/a.ics", text);
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_due_date_components(platform::DateComponents{2025, 3, 10, 9, 0, 0, platform::kUndefinedComponent,
                                                            std::string(platform::kGregorianCalendar),
                                                            platform::TimeZone::named("Europe/Berlin")});
  std::string error = store_test::refusal(store->save_reminder(reminder));
  ASSERT_NE(error, "");
  EXPECT_EQ(error, "无法保存提醒事项：写入的内容无法读取。");
  EXPECT_EQ(folder_.read("todo/a.ics"), text);
  EXPECT_EQ(folder_entries(folder_, "todo"), (std::vector<std::string>{"a.ics"}));
}

TEST_F(ReminderSaveTest, SavingAReminderWhoseFileWentFails) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  fs::remove(folder_.path("todo/a.ics"));
  reminder.set_title("x");
  std::string error = store_test::refusal(store->save_reminder(reminder));
  ASSERT_NE(error, "");
  EXPECT_EQ(error, "提醒事项已不存在：todo/a");
  EXPECT_FALSE(folder_.exists("todo/a.ics"));
}

TEST_F(ReminderSaveTest, ReadOnlyListRefusesEveryWriteEvenForRoot) {
  const std::string original = store_test::todo_file("UID:a\r\nSUMMARY:keep\r\n");
  folder_.write("todo/a.ics", original);
  lock("todo");
  auto store = open();
  EXPECT_FALSE(store_test::list_named(*store, "todo")->allows_content_modifications);
  const std::string message = "提醒事项列表「Todo」是只读的，不能修改。";

  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_title("changed");
  EXPECT_EQ(store_test::refusal(store->save_reminder(reminder)), message);
  EXPECT_EQ(store_test::refusal(store->remove_reminder(reminder)), message);
  Reminder fresh = store->new_reminder();
  fresh.set_calendar(store_test::list_named(*store, "todo"));
  EXPECT_EQ(store_test::refusal(store->save_reminder(fresh)), message);

  EXPECT_EQ(folder_.read("todo/a.ics"), original);
  EXPECT_EQ(folder_entries(folder_, "todo"), std::vector<std::string>{"a.ics"});
}

TEST_F(ReminderSaveTest, FailedWriteLeavesTheOldFileAndSaysWhy) {
  const std::string original = store_test::todo_file("UID:a\r\nSUMMARY:keep\r\n");
  folder_.write("todo/a.ics", original);
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_title(std::string(4096, 'x'));
  // A file size limit makes the write fail, whatever the permissions of the process.
  struct rlimit old_limit;
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 1024;
  ::setrlimit(RLIMIT_FSIZE, &small);
  std::string error = store_test::refusal(store->save_reminder(reminder));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);

  ASSERT_NE(error, "");
  EXPECT_EQ(error.rfind("无法保存提醒事项：write ", 0), 0u) << error;
  EXPECT_NE(error.find("File too large"), std::string::npos);
  EXPECT_EQ(folder_.read("todo/a.ics"), original);
  EXPECT_EQ(folder_entries(folder_, "todo"), std::vector<std::string>{"a.ics"});
}

TEST_F(ReminderSaveTest, RemovalDeletesTheFileAndToleratesItsAbsence) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  EXPECT_EQ(store_test::refusal(store->remove_reminder(reminder)), "");
  EXPECT_FALSE(folder_.exists("todo/a.ics"));
  EXPECT_FALSE(store->calendar_item_with_identifier("todo/a"));
  EXPECT_EQ(store_test::refusal(store->remove_reminder(reminder)), "");
  auto fetched = store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")});
  EXPECT_TRUE(fetched.identifiers.empty());
}

TEST_F(ReminderSaveTest, MovingToAnotherListMovesTheFile) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSUMMARY:move me\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_calendar(store_test::list_named(*store, "other"));
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  EXPECT_EQ(reminder.calendar_item_identifier(), "other/a");
  EXPECT_FALSE(folder_.exists("todo/a.ics"));
  EXPECT_EQ(store_test::stored_reminder(*open(), "other/a").title(), "move me");
}

// Another program's edit lands just before the moved file's old copy is removed:
// the move is made again on that version, and no copy of the old one stays behind.
TEST_F(ReminderSaveTest, AMoveMadeWhileAnotherProgramEditsCarriesTheEdit) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSUMMARY:move me\r\n"));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_calendar(store_test::list_named(*store, "other"));
  bool landed = false;
  platform::local::set_before_swap_for_tests([&](const std::string& path) {
    if (landed || path != folder_.path("todo/a.ics")) return;
    landed = true;
    std::string theirs = store_test::todo_file("UID:a\r\nSUMMARY:move me\r\nDESCRIPTION:added elsewhere\r\n");
    std::ofstream(path + ".other", std::ios::binary) << theirs;
    fs::rename(path + ".other", path);
  });
  auto saved = store->save_reminder(reminder);
  platform::local::set_before_swap_for_tests(nullptr);
  ASSERT_EQ(store_test::refusal(saved), "");
  EXPECT_TRUE(landed);
  EXPECT_EQ(folder_entries(folder_, "todo"), std::vector<std::string>{});
  EXPECT_EQ(folder_entries(folder_, "other"), std::vector<std::string>{"a.ics"});
  EXPECT_EQ(store_test::stored_reminder(*open(), "other/a").notes(), std::optional<std::string>("added elsewhere"));
}

TEST_F(ReminderSaveTest, AnItemOfAFileOfSeveralIsNotMovedAndNothingChanges) {
  const std::string both = store_test::todo_file("UID:a\r\nSUMMARY:one\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:b\r\n");
  folder_.write("todo/two.ics", both);
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/two/a");
  reminder.set_calendar(store_test::list_named(*store, "other"));
  EXPECT_EQ(store_test::refusal(store->save_reminder(reminder)),
            "无法移动提醒事项：它所在的文件还存有其他项目。");
  EXPECT_EQ(folder_.read("todo/two.ics"), both);
  EXPECT_EQ(folder_entries(folder_, "other"), std::vector<std::string>{});
}

// A due date handed back as it was read keeps its line, with the TZID only the file defines.
TEST_F(ReminderSaveTest, ADueDateSetToWhatItWasKeepsItsLine) {
  const std::string zone =
      "BEGIN:VTIMEZONE\r\nTZID:Office Time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
      "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
  const std::string due = "DUE;TZID=Office Time:20250301T093000\r\n";
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\n" + due, zone));
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_due_date_components(reminder.due_date_components());
  reminder.set_title("same time");
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  std::string text = folder_.read("todo/a.ics");
  EXPECT_NE(text.find("\r\n" + due), std::string::npos) << text;
}

TEST_F(ReminderSaveTest, MovingOntoAFileOfTheSameNameKeepsBothAndLeavesNoTemporary) {
  const std::string moved = store_test::todo_file("UID:a\r\nSUMMARY:move me\r\n");
  const std::string there = store_test::todo_file("UID:b\r\nSUMMARY:already there\r\n");
  folder_.write("todo/a.ics", moved);
  folder_.write("other/a.ics", there);
  auto store = open();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_calendar(store_test::list_named(*store, "other"));
  EXPECT_EQ(store_test::refusal(store->save_reminder(reminder)),
            "无法保存提醒事项：rename " + folder_.path("other/a.ics") + ": File exists");
  EXPECT_EQ(folder_.read("todo/a.ics"), moved);
  EXPECT_EQ(folder_.read("other/a.ics"), there);
  EXPECT_EQ(folder_entries(folder_, "todo"), std::vector<std::string>{"a.ics"});
  EXPECT_EQ(folder_entries(folder_, "other"), std::vector<std::string>{"a.ics"});
}

TEST_F(ReminderSaveTest, RefusesWhatCannotBeStored) {
  auto store = open();
  Reminder no_list = store->new_reminder();
  EXPECT_EQ(store_test::refusal(store->save_reminder(no_list)), "提醒事项没有所属列表。");

  Reminder in_events = store->new_reminder();
  in_events.set_calendar(store->calendars_for_entity_type(platform::EntityType::event).front());
  EXPECT_EQ(store_test::refusal(store->save_reminder(in_events)),
            "列表「Events」不能存放提醒事项。");

  // No such day; a year libical cannot write (it writes zeros: the due date would vanish).
  for (auto [year, day, hour] : {std::tuple{2025, 30, platform::kUndefinedComponent}, std::tuple{3001, 1, std::int64_t{9}},
                                 std::tuple{4050, 2, platform::kUndefinedComponent}}) {
    Reminder bad_due = store->new_reminder();
    bad_due.set_calendar(store_test::list_named(*store, "todo"));
    platform::DateComponents due;
    due.calendar = platform::kGregorianCalendar;
    due.year = year, due.month = 2, due.day = day, due.hour = hour;
    bad_due.set_due_date_components(due);
    EXPECT_EQ(store_test::refusal(store->save_reminder(bad_due)),
              "提醒事项的截止日期无效。")
        << year;
  }

  // An alarm in a year libical cannot write (3001-01-01T00:00:00Z; the last second of year -1).
  for (double seconds : {32'535'216'000.0, -62'167'219'201.0}) {
    Reminder bad_alarm = store->new_reminder();
    bad_alarm.set_calendar(store_test::list_named(*store, "todo"));
    bad_alarm.set_alarms({platform::Alarm::with_absolute_date(platform::Date{seconds})});
    EXPECT_EQ(store_test::refusal(store->save_reminder(bad_alarm)), "提醒时间无效")
        << seconds;
  }

  Reminder bad_rule = store->new_reminder();
  bad_rule.set_calendar(store_test::list_named(*store, "todo"));
  platform::RecurrenceRule hourly;
  hourly.frequency = 7;
  bad_rule.set_recurrence_rules(std::vector{hourly});
  EXPECT_EQ(store_test::refusal(store->save_reminder(bad_rule)),
            "提醒事项的重复规则无效。");
  EXPECT_TRUE(folder_entries(folder_, "todo").empty());
}

}  // namespace
