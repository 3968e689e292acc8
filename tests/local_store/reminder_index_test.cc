// Reminders served from the index: a reminder read from the index for an unchanged
// file must be exactly the reminder read from the file, and a file the index
// cannot vouch for is read.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/index/byte_form.h"
#include "platform/local/index/packed_reminder.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/index/store_index.h"

namespace {

using store_test::set_modified;
using store_test::sql;

using platform::Reminder;
using platform::local::StoreIndex;

std::string describe(const std::optional<platform::TimeZone>& zone) {
  if (!zone) return "-";
  std::optional<int> offset = zone->fixed_offset_seconds();
  return zone->name() + (offset ? " at " + std::to_string(*offset) : std::string());
}

std::string describe(const std::optional<platform::DateComponents>& c) {
  if (!c) return "none";
  std::string out;
  for (std::int64_t field : {c->year, c->month, c->day, c->hour, c->minute, c->second, c->nanosecond}) {
    out += std::to_string(field) + " ";
  }
  return out + c->calendar.value_or("-") + " " + describe(c->time_zone);
}

// Everything a reminder says, alarm blocks and rule texts included, as one text.
std::string describe(const Reminder& r) {
  std::string out = r.calendar_item_identifier() + "|" + r.calendar_item_external_identifier().value_or("-") + "|" +
                    r.title() + "|" + r.notes().value_or("-") + "|" + (r.url() ? r.url()->absolute_string : "-") +
                    "|" + describe(r.time_zone()) + "|" + (r.is_completed() ? "done" : "open") + "|" +
                    std::to_string(r.priority()) + "|" + describe(r.start_date_components()) + "|" +
                    describe(r.due_date_components()) + "|" +
                    (r.calendar() ? r.calendar()->identifier : "-");
  for (const auto& alarm : r.alarms()) {
    auto stored = std::dynamic_pointer_cast<const platform::local::StoredAlarmOrigin>(alarm.origin);
    out += "|alarm " + (alarm.absolute_date ? std::to_string(alarm.absolute_date->seconds_since_1970) : "-") + " " +
           (stored ? stored->block : "no block");
  }
  if (r.recurrence_rules()) {
    for (const auto& rule : *r.recurrence_rules()) {
      out += "|rule " + platform::local::rrule_value_of(rule).value_or("?") + " wkst " +
             std::to_string(rule.first_day_of_the_week);
    }
  }
  return out;
}

class ReminderIndexTest : public testing::Test {
 protected:
  ReminderIndexTest() { folder_.add_collection("todo", "Todo", "VTODO"); }
  void put(const std::string& name, const std::string& body, long nanoseconds = 0) {
    folder_.write("todo/" + name + ".ics", store_test::todo_file(body));
    set_modified(folder_.path("todo/" + name + ".ics"), 1700000000, nanoseconds);
  }
  // The reminders as a new process reads them.
  std::vector<std::string> read() {
    platform::local::LocalPlatform platform(folder_.root());
    auto store = platform.open_event_store();
    std::vector<std::string> out;
    for (const Reminder& r : store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")}).reminders) {
      out.push_back(describe(r));
    }
    return out;
  }
  bool indexed(const std::string& name) {
    for (const auto& [row_name, row] : StoreIndex(folder_.root()).files_in("todo")) {
      if (row_name == name) return platform::local::row_from_packed(row.reminder) != nullptr;
    }
    return false;
  }
  store_test::StoreFolder folder_;
};

struct IndexedCase {
  const char* name;
  const char* body;
  bool kept;  // whether the index can hold this reminder
};

class IndexedReminderTest : public ReminderIndexTest, public testing::WithParamInterface<IndexedCase> {};

TEST_P(IndexedReminderTest, ReadsBackAsFromTheFile) {
  put("r", GetParam().body);
  std::vector<std::string> from_file = read();
  ASSERT_EQ(from_file.size(), 1u);
  EXPECT_EQ(indexed("r"), GetParam().kept);
  EXPECT_EQ(read(), from_file);
}

const IndexedCase kIndexedCases[] = {
    {"Plain", "UID:a\r\nSUMMARY:Plain\r\n", true},
    {"NoUidNoTitle", "PRIORITY:1\r\n", true},
    {"EveryField",
     "UID:b\r\nSUMMARY:  Buy\\, milk  \r\nDESCRIPTION:one\\ntwo\r\nURL:https://example.com/a?b=c\r\n"
     "STATUS:COMPLETED\r\nPRIORITY:5\r\nDTSTART;VALUE=DATE:20250301\r\nDUE;TZID=Europe/Berlin:20250310T090000\r\n",
     true},
    {"EmptyNotes", "UID:c\r\nSUMMARY:x\r\nDESCRIPTION:\r\n", true},
    {"UtcAndFloating", "UID:d\r\nDUE:20250310T090000Z\r\nDTSTART:20250309T080000\r\n", true},
    {"FixedOffsetZone", "UID:e\r\nDUE;TZID=GMT+0530:20250310T090000\r\n", true},
    // Found by fuzzing: an offset beyond a day was written to the index but not read back.
    {"OffsetBeyondADay", "UID:e\r\nDUE;TZID=GMT+4630:20250310T090000\r\n", true},
    {"Alarms",
     "UID:f\r\nDUE:20250310T090000Z\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250310T080000Z\r\n"
     "DESCRIPTION:x\r\nEND:VALARM\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nDESCRIPTION:y\r\n"
     "END:VALARM\r\n",
     true},
    {"Rules",
     "UID:g\r\nDUE:20250310T090000Z\r\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE;WKST=SU\r\n"
     "RRULE:FREQ=MONTHLY;COUNT=3;X-NAME=1\r\nRRULE:FREQ=HOURLY\r\n",
     true},
    {"RuleUntil", "UID:h\r\nDUE;VALUE=DATE:20250310\r\nRRULE:FREQ=DAILY;UNTIL=20250320\r\n", true},
    {"InvalidUtf8", "UID:i\r\nSUMMARY:bad \xff byte\r\nDESCRIPTION:\xc3\r\n", true},
    {"WindowsZones",
     "UID:k\r\nDUE;TZID=W. Europe Standard Time:20260715T170000\r\n"
     "DTSTART;TZID=Pacific Standard Time.:20260710T090000\r\n",
     true},
    {"UnknownZone", "UID:l\r\nDUE;TZID=Mars/Olympus:20260715T090000\r\n", true},
    // An alarm at a floating time holds for the machine's zone of the moment only.
    {"FloatingAlarm",
     "UID:m\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20260715T080000\r\nEND:VALARM\r\n", false},
    {"AlarmInAnUnknownZone",
     "UID:n\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME;TZID=Mars/Olympus:20260715T080000\r\n"
     "END:VALARM\r\n",
     false},
    // A block that is no valid UTF-8 is kept byte for byte as well.
    {"InvalidUtf8InAlarm",
     "UID:j\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT5M\r\nDESCRIPTION:\xff\r\nEND:VALARM\r\n", true},
};

INSTANTIATE_TEST_SUITE_P(Reminders, IndexedReminderTest, testing::ValuesIn(kIndexedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Titles of the same length, so a rewrite keeps the file's size.
TEST_F(ReminderIndexTest, AnUnchangedVersionIsNotReadAgain) {
  put("r", "UID:r\r\nSUMMARY:Before\r\n");
  ASSERT_EQ(read().size(), 1u);
  // Same size, time and inode: only the index can say what the file held.
  put("r", "UID:r\r\nSUMMARY:Behind\r\n");
  EXPECT_NE(read().front().find("|Before|"), std::string::npos);
  put("r", "UID:r\r\nSUMMARY:Behind\r\n", 1);
  EXPECT_NE(read().front().find("|Behind|"), std::string::npos);
}

// A row's reminder changed through the index's own interface.
void damage_reminder(const std::string& root, const std::function<void(std::string&)>& damage) {
  StoreIndex index(root);
  platform::local::IndexedRows rows = index.files_in("todo");
  for (auto& row : rows) damage(row.second.reminder);
  index.update("todo", rows, {});
}

// Damage to single fields: damaged_index_row_test.cc.
TEST_F(ReminderIndexTest, RowsThatDoNotReadSendTheStoreToTheFile) {
  put("r", "UID:r\r\nSUMMARY:Title\r\nDUE:20250310T090000Z\r\n");
  std::vector<std::string> from_file = read();
  ASSERT_TRUE(indexed("r"));
  struct Damage {
    const char* name;
    std::function<void(std::string&)> bytes;  // else
    const char* sql;
  };
  const Damage damages[] = {
      {"cut", [](std::string& packed) { packed.resize(packed.size() / 2); }, nullptr},
      {"trailing", [](std::string& packed) { packed += '-'; }, nullptr},
      {"marker", [](std::string& packed) { packed[0] = '?'; }, nullptr},
      {"foreign bytes", nullptr, "UPDATE items SET reminder = X'00ff'"},
      {"no reminder", nullptr, "UPDATE items SET reminder = NULL"},
      {"kind", nullptr, "UPDATE items SET kind = 7"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    if (damage.bytes) damage_reminder(folder_.root(), damage.bytes);
    if (damage.sql) sql(folder_.path(".index.sqlite"), damage.sql);
    EXPECT_EQ(read(), from_file);
    EXPECT_TRUE(indexed("r"));  // and the row is written anew, readable
  }
}

// The packed form read back cut at every length: only the whole reads.
TEST(PackedReminder, CutAtEveryLength) {
  auto item = platform::local::parse_item_text(store_test::todo_file(
      "UID:u\r\nSUMMARY:Title\r\nDESCRIPTION:\r\nSTATUS:COMPLETED\r\nPRIORITY:5\r\n"
      "DUE;TZID=Europe/Berlin:20250310T090000\r\nDTSTART;TZID=GMT+0530:20250309T090000\r\n"
      "RRULE:FREQ=DAILY\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
      "TRIGGER;VALUE=DATE-TIME:20250310T080000Z\r\nEND:VALARM\r\n"));
  ASSERT_TRUE(item);
  auto packed = platform::local::packed_reminder(platform::local::reminder_row_of(*item, item->parts.front()));
  ASSERT_TRUE(packed);
  ASSERT_TRUE(platform::local::row_from_packed(*packed));
  for (std::size_t size = 0; size < packed->size(); ++size) {
    EXPECT_FALSE(platform::local::row_from_packed(std::string_view(*packed).substr(0, size))) << size;
  }
}

// A save puts a stored alarm's block back into the file as it is: a row whose block
// is not one whole VALARM ending in a line break is refused.
TEST(PackedReminder, RefusesAnAlarmBlockThatIsNoValarm) {
  const std::string block =
      "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250310T080000Z\r\nEND:VALARM\r\n";
  auto item = platform::local::parse_item_text(
      store_test::todo_file("UID:u\r\nSUMMARY:Title\r\nDUE:20250310T090000Z\r\n" + block));
  ASSERT_TRUE(item);
  auto packed = platform::local::packed_reminder(platform::local::reminder_row_of(*item, item->parts.front()));
  ASSERT_TRUE(packed && platform::local::row_from_packed(*packed));
  auto as_text = [](const std::string& value) {
    platform::local::ByteWriter out;
    out.text(value);
    return out.take();
  };
  const std::string stored = as_text(block);
  ASSERT_NE(packed->find(stored), std::string::npos);
  for (const std::string& other : {std::string("BEGIN:VEVENT\r\nEND:VEVENT\r\n"), block + block,
                                   block.substr(0, block.size() - 2), std::string("BEGIN:VALARM\r\n"),
                                   "X-NOTE:a\r\n" + block, std::string()}) {
    std::string damaged = *packed;
    damaged.replace(damaged.find(stored), stored.size(), as_text(other));
    EXPECT_FALSE(platform::local::row_from_packed(damaged)) << other;
  }
}

// Rows holding what no file gives, or what a save could not put back, are not packed:
// the writer makes every check the reader makes.
TEST(PackedReminder, KeepsNoRowItCouldNotReadBack) {
  using platform::local::ReminderRow;
  auto item = platform::local::parse_item_text(store_test::todo_file(
      "UID:u\r\nSUMMARY:Title\r\nDUE;TZID=Europe/Berlin:20250310T090000\r\nRRULE:FREQ=DAILY\r\n"
      "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250310T080000Z\r\nEND:VALARM\r\n"));
  ASSERT_TRUE(item);
  const ReminderRow read = platform::local::reminder_row_of(*item, item->parts.front());
  ASSERT_TRUE(platform::local::packed_reminder(read));
  struct Change {
    const char* name;
    std::function<void(ReminderRow&)> apply;
  };
  const Change changes[] = {
      {"priority 10", [](ReminderRow& r) { r.fields.priority = 10; }},
      {"priority -1", [](ReminderRow& r) { r.fields.priority = -1; }},
      {"title no UTF-8", [](ReminderRow& r) { r.fields.title = "bad \xff"; }},
      {"identifier no UTF-8", [](ReminderRow& r) { r.fields.calendar_item_external_identifier = "\xc3"; }},
      {"url refused", [](ReminderRow& r) { r.fields.url = platform::Url{"no url"}; }},
      {"month 13", [](ReminderRow& r) { r.fields.due_date_components->month = 13; }},
      {"calendar no UTF-8", [](ReminderRow& r) { r.fields.due_date_components->calendar = "\xfe"; }},
      {"zone name no UTF-8", [](ReminderRow& r) { r.fields.time_zone = platform::TimeZone::named("\xff"); }},
      {"alarm of another origin",
       [](ReminderRow& r) { r.fields.alarms[0].origin = std::make_shared<platform::ItemOrigin>(); }},
      {"alarm moved from its block", [](ReminderRow& r) { r.fields.alarms[0].absolute_date = platform::Date{0}; }},
      {"alarm at NaN",
       [](ReminderRow& r) { r.fields.alarms = {platform::Alarm::with_absolute_date(platform::Date{std::nan("")})}; }},
      {"rule value of two lines", [](ReminderRow& r) { r.rule_values[0] += "\r\nX-A:1"; }},
      {"rule value no rule", [](ReminderRow& r) { r.rule_values[0] = "FREQ=SECONDLY"; }},
      {"a rule without its value", [](ReminderRow& r) { r.rule_values.clear(); }},
      {"read in the machine's zone", [](ReminderRow& r) { r.follows_local_zone = true; }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    ReminderRow row = read;
    change.apply(row);
    EXPECT_FALSE(platform::local::packed_reminder(row));
  }
}

TEST_F(ReminderIndexTest, ASaveOfAnIndexedReminderChangesOnlyItsField) {
  put("r", "UID:r\r\nSUMMARY:Old\r\nX-KEEP:yes\r\nDUE:20250310T090000Z\r\nRRULE:FREQ=WEEKLY;WKST=MO\r\n");
  read();
  ASSERT_TRUE(indexed("r"));
  std::string before = folder_.read("todo/r.ics");
  {
    platform::local::LocalPlatform platform(folder_.root());
    auto store = platform.open_event_store();
    store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")});
    Reminder reminder = store_test::stored_reminder(*store, "todo/r");
    reminder.set_title("New");
    ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  }
  std::vector<std::string> expected = store_test::lines_without_stamps(before);
  for (auto& line : expected) {
    if (line == "SUMMARY:Old") line = "SUMMARY:New";
  }
  EXPECT_EQ(store_test::lines_without_stamps(folder_.read("todo/r.ics")), expected);
}

// The cache's folder holds items looked up before it was listed; the listing keeps
// what they read, names only what the folder holds, and takes in what the store writes.
TEST_F(ReminderIndexTest, LookupsBeforeAListingAndWritesAfterItKeepTheFolderTrue) {
  put("a", "UID:a\r\nSUMMARY:A\r\n");
  put("b", "UID:b\r\nSUMMARY:B\r\n");
  read();
  platform::local::LocalPlatform platform(folder_.root());
  auto store = platform.open_event_store();
  EXPECT_EQ(store_test::stored_reminder(*store, "todo/b").title(), "B");
  EXPECT_FALSE(store->calendar_item_with_identifier("todo/missing").has_value());
  auto list = store_test::list_named(*store, "todo");
  EXPECT_EQ(store_test::fetch_and_wait(*store, {list}).identifiers, (std::vector<std::string>{"todo/a", "todo/b"}));

  Reminder made = store->new_reminder();
  made.set_calendar(list);
  made.set_title("New");
  ASSERT_EQ(store_test::refusal(store->save_reminder(made)), "");
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "todo/a"))), "");
  auto fetched = store_test::fetch_and_wait(*store, {list});
  std::vector<std::string> expected{"todo/b", made.calendar_item_identifier()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fetched.identifiers, expected);
  std::vector<std::string> titles;
  for (const Reminder& r : fetched.reminders) titles.push_back(r.title());
  EXPECT_EQ(titles.size(), 2u);
  EXPECT_NE(std::find(titles.begin(), titles.end(), "New"), titles.end());
}

TEST_F(ReminderIndexTest, AReminderFetchedThenRemovedIsGone) {
  put("a", "UID:a\r\nSUMMARY:A\r\n");
  put("b", "UID:b\r\nSUMMARY:B\r\n");
  read();
  platform::local::LocalPlatform platform(folder_.root());
  auto store = platform.open_event_store();
  auto list = store_test::list_named(*store, "todo");
  ASSERT_EQ(store_test::fetch_and_wait(*store, {list}).identifiers.size(), 2u);
  ASSERT_EQ(store_test::refusal(store->remove_reminder(store_test::stored_reminder(*store, "todo/a"))), "");
  // The earlier answer no longer speaks for the store.
  EXPECT_FALSE(store->calendar_item_with_identifier("todo/a").has_value());
  EXPECT_EQ(store_test::fetch_and_wait(*store, {list}).identifiers, (std::vector<std::string>{"todo/b"}));
  // Fetched twice in one process: the second answer comes from the index again.
  EXPECT_EQ(store_test::fetch_and_wait(*store, {list}).identifiers, (std::vector<std::string>{"todo/b"}));
}

}  // namespace
