// Files holding several VCALENDAR objects one after another (an iCalendar stream):
// their items count together, each object's TZIDs name its own VTIMEZONEs, and a
// write to one item leaves every other object and item byte for byte.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "local_store/event_test_env.h"
#include "local_store/exported_calendars.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::DateComponents;
using platform::EntityType;
using platform::Reminder;
using platform::TimeZone;
using platform::local::testing::utc;
using store_test::kStreamFirst;
using store_test::kStreamSecond;
using store_test::kStreamThird;

struct ShownEvent {
  double start;
  double end;
  std::string identifier;
  std::string title;
  friend bool operator==(const ShownEvent&, const ShownEvent&) = default;
};

std::ostream& operator<<(std::ostream& out, const ShownEvent& e) {
  return out << "{" << e.start << ", " << e.end << ", " << e.identifier << ", " << e.title << "}";
}

DateComponents date_time(std::int64_t y, std::int64_t m, std::int64_t d, std::int64_t h, TimeZone zone) {
  DateComponents c;
  c.year = y;
  c.month = m;
  c.day = d;
  c.hour = h;
  c.minute = 0;
  c.second = 0;
  c.calendar = platform::kGregorianCalendar;
  c.time_zone = std::move(zone);
  return c;
}

const std::string kTwoObjects = std::string(kStreamFirst) + kStreamSecond;
const std::string kThreeObjects = kTwoObjects + kStreamThird;

// The file's events and reminders, as the stream fixture describes them.
const std::vector<ShownEvent> kTwoObjectEvents = {
    {utc(2025, 3, 3, 9), utc(2025, 3, 3, 9, 30), "home/stream/weekly@example.com", "Weekly"},
    {utc(2025, 3, 10, 9), utc(2025, 3, 10, 9, 30), "home/stream/weekly@example.com", "Weekly"},
    {utc(2025, 3, 12, 7), utc(2025, 3, 12, 8), "home/stream/ship@example.com", "On board"},
    {utc(2025, 3, 17, 9), utc(2025, 3, 17, 9, 30), "home/stream/weekly@example.com", "Weekly"},
};

struct ShownTask {
  std::string identifier;
  std::string title;
  DateComponents due;
};

const ShownTask kTasks[] = {
    {"home/stream/a-task", "First task", date_time(2025, 3, 4, 12, TimeZone::named("UTC"))},
    {"home/stream/b-task", "Second task", date_time(2025, 3, 13, 18, TimeZone::for_seconds_from_gmt(3 * 3600))},
    {"home/stream/c-task", "Third task", date_time(2025, 3, 20, 8, TimeZone::for_seconds_from_gmt(5 * 3600))},
};

// The text without the lines of the VTODO whose UID line is `uid_line`.
std::string without_todo(const std::string& text, const std::string& uid_line) {
  std::size_t from = text.rfind("BEGIN:VTODO\r\n", text.find(uid_line));
  std::size_t to = text.find("END:VTODO\r\n", from) + 11;
  return text.substr(0, from) + text.substr(to);
}

class CalendarStreamTest : public testing::Test {
 protected:
  CalendarStreamTest() {
    settings_.zone("UTC");
    folder_.add_collection("home", "Home");
  }

  std::vector<ShownEvent> march_events() {
    auto store = platform_.open_event_store();
    std::vector<ShownEvent> shown;
    for (const auto& e : store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)},
                                                store->calendars_for_entity_type(EntityType::event))) {
      shown.push_back({e.start_date.seconds_since_1970, e.end_date.seconds_since_1970, e.calendar_item_identifier,
                       e.title});
    }
    return shown;
  }
  store_test::FetchAnswer tasks() {
    auto store = platform_.open_event_store();
    return store_test::fetch_and_wait(*store, {store_test::list_named(*store, "home")});
  }

  platform::local::testing::MachineSettings settings_;
  store_test::StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

TEST_F(CalendarStreamTest, EveryEventOfEveryObjectInItsOwnObjectsZone) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<ShownEvent> expected;
  };
  std::vector<ShownEvent> three = kTwoObjectEvents;
  three.push_back({utc(2025, 3, 25, 5), utc(2025, 3, 25, 5), "home/stream/late@example.com", "Late"});
  const Case cases[] = {{"two objects", kTwoObjects, kTwoObjectEvents}, {"three objects", kThreeObjects, three}};
  for (const Case& c : cases) {
    folder_.write("home/stream.ics", c.text);
    // Once from the file, once more from what the index kept of it.
    EXPECT_EQ(march_events(), c.expected) << c.name;
    EXPECT_EQ(march_events(), c.expected) << c.name;
  }
  auto item = platform_.open_event_store()->calendar_item_with_identifier("home/stream/ship@example.com");
  ASSERT_TRUE(item && std::holds_alternative<platform::Event>(*item));
  const auto& ship = std::get<platform::Event>(*item);
  EXPECT_EQ(ship.start_date, Date{utc(2025, 3, 12, 7)});
  EXPECT_EQ(ship.title, "On board");
  EXPECT_EQ(ship.external_identifier, "ship@example.com");
}

TEST_F(CalendarStreamTest, EveryReminderOfEveryObjectInItsOwnObjectsZone) {
  folder_.write("home/stream.ics", kThreeObjects);
  for (int run = 0; run < 2; ++run) {
    auto fetched = tasks();
    ASSERT_EQ(fetched.identifiers.size(), 3u) << run;
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(fetched.identifiers[i], kTasks[i].identifier) << run;
      EXPECT_EQ(fetched.reminders[i].title(), kTasks[i].title) << run;
      EXPECT_EQ(fetched.reminders[i].due_date_components(), kTasks[i].due) << kTasks[i].title << run;
    }
    ASSERT_EQ(fetched.reminders[1].alarms().size(), 1u);
    EXPECT_EQ(fetched.reminders[1].alarms()[0].absolute_date, Date{utc(2025, 3, 13, 14)});
  }
}

TEST_F(CalendarStreamTest, ASaveInTheSecondObjectChangesOnlyItsLines) {
  folder_.write("home/stream.ics", kThreeObjects);
  auto store = platform_.open_event_store();
  Reminder task = store_test::stored_reminder(*store, "home/stream/b-task");
  task.set_title("Second task, renamed");
  // A fixed offset the first object defines a VTIMEZONE for: the second gets its own.
  task.set_due_date_components(date_time(2025, 3, 14, 9, TimeZone::for_seconds_from_gmt(8 * 3600)));
  ASSERT_EQ(store_test::refusal(store->save_reminder(task)), "");
  EXPECT_EQ(task.calendar_item_identifier(), "home/stream/b-task");

  std::string text = folder_.read("home/stream.ics");
  const std::string original = kThreeObjects;
  std::size_t begin = original.find("BEGIN:VTODO\r\nUID:b-task");
  std::size_t end = original.find("END:VTODO\r\n", begin) + 11;
  ASSERT_GT(text.size(), begin);
  EXPECT_EQ(text.substr(0, begin), original.substr(0, begin));
  std::size_t after = text.size() - (original.size() - end);
  EXPECT_EQ(text.substr(after), original.substr(end));
  std::string block = text.substr(begin, after - begin);
  EXPECT_EQ(block.rfind("BEGIN:VTIMEZONE\r\nTZID:GMT+0800\r\n", 0), 0u) << block;
  for (const char* line : {"\r\nSUMMARY:Second task\\, renamed\r\n", "\r\nDUE;TZID=GMT+0800:20250314T090000\r\n",
                           "\r\nX-OTHER-APP:kept as written\r\n",
                           "\r\nTRIGGER;VALUE=DATE-TIME;TZID=Bordzeit:20250313T170000\r\n"}) {
    EXPECT_NE(block.find(line), std::string::npos) << line << block;
  }

  auto fetched = tasks();
  ASSERT_EQ(fetched.reminders.size(), 3u);
  EXPECT_EQ(fetched.reminders[0].due_date_components(), kTasks[0].due);
  EXPECT_EQ(fetched.reminders[1].title(), "Second task, renamed");
  EXPECT_EQ(fetched.reminders[1].due_date_components(),
            date_time(2025, 3, 14, 9, TimeZone::for_seconds_from_gmt(8 * 3600)));
  EXPECT_EQ(fetched.reminders[2].due_date_components(), kTasks[2].due);
  std::vector<ShownEvent> events = march_events();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[2], kTwoObjectEvents[2]);
}

TEST_F(CalendarStreamTest, ADeleteInTheSecondObjectTakesOutOnlyItsLines) {
  folder_.write("home/stream.ics", kThreeObjects);
  auto store = platform_.open_event_store();
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "home/stream/b-task"))), "");
  std::string expected = without_todo(kThreeObjects, "UID:b-task\r\n");
  EXPECT_EQ(folder_.read("home/stream.ics"), expected);
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "home/stream/c-task"))), "");
  expected = without_todo(expected, "UID:c-task\r\n");
  EXPECT_EQ(folder_.read("home/stream.ics"), expected);
  EXPECT_EQ(tasks().identifiers, std::vector<std::string>{"home/stream/a-task"});
  EXPECT_EQ(march_events().size(), 5u);
}

TEST_F(CalendarStreamTest, EveryCutOffCopyShowsOnlyWholeItems) {
  const std::string text = kThreeObjects;
  std::map<std::string, const ShownTask*> by_uid;
  for (const ShownTask& task : kTasks) by_uid[task.identifier.substr(12)] = &task;
  folder_.write("home/stream.ics", text);
  const std::vector<ShownEvent> whole = march_events();
  ASSERT_EQ(whole.size(), 5u);
  // Cut after each line and just before its line break.
  for (std::size_t length = 0; length <= text.size(); ++length) {
    if (length != 0 && length != text.size() && text[length] != '\r' && text[length - 1] != '\n') continue;
    folder_.write("home/stream.ics", text.substr(0, length));
    for (const ShownEvent& e : march_events()) {
      bool found = false;
      for (const ShownEvent& w : whole) {
        found = found || (w.start == e.start && w.end == e.end && w.title == e.title);
      }
      EXPECT_TRUE(found) << length << " " << e;
    }
    auto fetched = tasks();
    ASSERT_TRUE(fetched.had_array) << length;
    for (const Reminder& r : fetched.reminders) {
      auto task = by_uid.find(r.calendar_item_external_identifier().value_or(""));
      ASSERT_NE(task, by_uid.end()) << length;
      EXPECT_EQ(r.title(), task->second->title) << length;
      EXPECT_EQ(r.due_date_components(), task->second->due) << length;
    }
  }
}

}  // namespace
