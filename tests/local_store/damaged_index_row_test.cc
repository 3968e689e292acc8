// Index rows changed after the index was made, as damage or another program would:
// through the executable, every command answers byte for byte what a fresh read of
// the files answers.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "cli/cli_runner.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/index/reminder_columns.h"
#include "platform/local/index/store_index.h"

namespace {

using platform::local::ReminderColumns;
using platform::local::StoreIndex;

const char* const kReminder =
    "UID:r\r\nSUMMARY:Buy milk\r\nDESCRIPTION:two litres\r\nURL:https://example.com/milk\r\nPRIORITY:5\r\n"
    "DUE:20250310T090000Z\r\nRRULE:FREQ=WEEKLY\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
    "TRIGGER;VALUE=DATE-TIME:20250310T080000Z\r\nDESCRIPTION:x\r\nEND:VALARM\r\n";

// Two events of one file: their identifiers end in "/a" and "/b".
const char* const kTwoEvents =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:a\r\nSUMMARY:One\r\nDTSTART:20250310T090000Z\r\n"
    "DTEND:20250310T100000Z\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:b\r\nSUMMARY:Two\r\nDTSTART:20250311T090000Z\r\n"
    "DTEND:20250311T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

const char* const kRemindersRead = R"({"listIds":["todo"]})";
const char* const kEventsQuery =
    R"({"calendarIds":["home"],"start":"2025-03-01T00:00:00Z","end":"2025-04-01T00:00:00Z"})";

class DamagedIndexRowTest : public testing::Test {
 protected:
  DamagedIndexRowTest() {
    folder_.write("access.json", R"({"events":3,"reminders":3})");
    folder_.add_collection("todo", "Todo", "VTODO");
    folder_.add_collection("home", "Home", "VEVENT");
    put("todo/r.ics", store_test::todo_file(kReminder));
    put("home/two.ics", kTwoEvents);
  }
  void put(const std::string& relative, const std::string& text) {
    folder_.write(relative, text);
    store_test::set_modified(folder_.path(relative), 1700000000);
  }
  // Everything a run shows: its status, its reply and its message.
  std::string run(const std::string& command, const std::string& input) {
    cli::Invocation invocation;
    invocation.args = {command};
    invocation.input = input;
    invocation.env = {{"CALENDAR_STORE_DIR", folder_.root()}, {"TZ", "UTC"}, {"LC_ALL", "C.UTF-8"}};
    cli::RunResult r = cli::run(invocation);
    return "exit " + std::to_string(r.exit_status) + "\n" + r.out + "\n" + r.err;
  }
  // One folder's rows changed through the index's own interface.
  void damage(const std::string& folder, const std::function<void(platform::local::IndexedFile&)>& change) {
    StoreIndex index(folder_.root());
    // Event rows with their events, as a query reads them.
    platform::local::IndexedRows rows = folder == "home" ? index.reaching(folder, platform::local::kEveryDay).value()
                                                         : index.files_in(folder);
    ASSERT_EQ(rows.size(), 1u);
    rows.front().second.reach = {platform::local::kEveryDay};
    change(rows.front().second);
    index.update(folder, rows, {});
  }
  store_test::StoreFolder folder_;
};

struct ReminderDamage {
  const char* name;
  std::function<void(ReminderColumns&)> change;  // else
  std::function<void(std::string&)> bytes;
};

class DamagedReminderRowTest : public DamagedIndexRowTest, public testing::WithParamInterface<ReminderDamage> {};

TEST_P(DamagedReminderRowTest, AnswersAsTheFiles) {
  // No index yet: this is the files' answer, and the index is made from them.
  std::string fresh = run("reminders-read", kRemindersRead);
  ASSERT_NE(fresh.find("\"Buy milk\""), std::string::npos) << fresh;
  damage("todo", [&](platform::local::IndexedFile& row) {
    ASSERT_FALSE(row.reminder.empty());
    if (GetParam().bytes) return GetParam().bytes(row.reminder);
    auto columns = platform::local::unpacked_columns(row.reminder);
    ASSERT_TRUE(columns);
    GetParam().change(*columns);
    row.reminder = platform::local::packed_columns(*columns);
  });
  EXPECT_EQ(run("reminders-read", kRemindersRead), fresh);
}

// A date text of the row with one field put in its place (0 is the year).
std::function<void(ReminderColumns&)> due_field(int field, const std::string& value) {
  return [field, value](ReminderColumns& c) {
    ASSERT_TRUE(c.due);
    std::size_t begin = 0;
    for (int i = 0; i < field; ++i) begin = c.due->find(' ', begin) + 1;
    c.due->replace(begin, c.due->find(' ', begin) - begin, value);
  };
}

const ReminderDamage kReminderDamages[] = {
    {"TitleNotUtf8", [](ReminderColumns& c) { c.title[2] = '\xff'; }, nullptr},
    {"NotesNotUtf8", [](ReminderColumns& c) { c.notes = "two \xc3 litres"; }, nullptr},
    {"UrlNotUtf8", [](ReminderColumns& c) { c.url = "https://example.com/\xfe"; }, nullptr},
    {"UidNotUtf8", [](ReminderColumns& c) { c.uid = "r\xff"; }, nullptr},
    {"UrlNoUrl", [](ReminderColumns& c) { c.url = "no url at all"; }, nullptr},
    {"PriorityAboveNine", [](ReminderColumns& c) { c.priority = 10; }, nullptr},
    {"PriorityNegative", [](ReminderColumns& c) { c.priority = -1; }, nullptr},
    {"PriorityHuge", [](ReminderColumns& c) { c.priority = 549755813896; }, nullptr},
    {"DueMonth13", due_field(1, "13"), nullptr},
    {"DueYearHuge", due_field(0, "99999999999"), nullptr},
    {"DueHour24", due_field(3, "24"), nullptr},
    {"AlarmAtNaN", [](ReminderColumns& c) { c.alarms.at(0).seconds_since_1970 = std::nan(""); }, nullptr},
    {"AlarmFarOut", [](ReminderColumns& c) { c.alarms.at(0).seconds_since_1970 = 1e300; }, nullptr},
    {"AlarmBlockNoValarm", [](ReminderColumns& c) { c.alarms.at(0).block = "END:VTODO\r\nX-INJECTED:1\r\n"; }, nullptr},
    {"RuleOfTwoLines", [](ReminderColumns& c) { c.rules.at(0) += "\r\nX-INJECTED:1"; }, nullptr},
    {"Truncated", nullptr, [](std::string& packed) { packed.resize(packed.size() - 3); }},
    {"TrailingBytes", nullptr, [](std::string& packed) { packed += "xyz"; }},
    {"TitleLengthLonger", nullptr, [](std::string& packed) { ++packed[packed.find("Buy milk") - 4]; }},
};

INSTANTIATE_TEST_SUITE_P(Rows, DamagedReminderRowTest, testing::ValuesIn(kReminderDamages),
                         [](const auto& info) { return std::string(info.param.name); });

struct DigestDamage {
  const char* name;
  std::function<void(std::string&)> bytes;
};

class DamagedDigestTest : public DamagedIndexRowTest, public testing::WithParamInterface<DigestDamage> {};

TEST_P(DamagedDigestTest, AnswersAsTheFiles) {
  std::string fresh = run("events", kEventsQuery);
  ASSERT_NE(fresh.find("\"Two\""), std::string::npos) << fresh;
  damage("home", [&](platform::local::IndexedFile& row) {
    ASSERT_FALSE(row.event_digest.empty());
    GetParam().bytes(row.event_digest);
  });
  EXPECT_EQ(run("events", kEventsQuery), fresh);
}

// Where the first item's suffix "/a" lies in a digest: after its length of 2.
std::size_t first_suffix(const std::string& digest) {
  std::size_t at = digest.find(std::string("\x02\0\0\0/a", 6));
  EXPECT_NE(at, std::string::npos);
  return at == std::string::npos ? 0 : at;
}

const DigestDamage kDigestDamages[] = {
    {"SuffixNotUtf8", [](std::string& d) { d[first_suffix(d) + 5] = '\xff'; }},
    {"SuffixWithoutSlash", [](std::string& d) { d[first_suffix(d) + 4] = 'x'; }},
    {"SuffixLongerThanWritten", [](std::string& d) { d[first_suffix(d)] = 3; }},
    {"SuffixShorterThanWritten", [](std::string& d) { d[first_suffix(d)] = 1; }},
    {"SuffixBeyondTheBlob", [](std::string& d) { d[first_suffix(d) + 3] = '\x7f'; }},
    // The count of items just before the first suffix.
    {"OneItemMore", [](std::string& d) { ++d[first_suffix(d) - 4]; }},
    {"ItemsBeyondAnyFile", [](std::string& d) { d[first_suffix(d) - 1] = '\x7f'; }},
    {"Truncated", [](std::string& d) { d.resize(d.size() - 1); }},
    {"TrailingBytes", [](std::string& d) { d += '\0'; }},
    {"OtherVersion", [](std::string& d) { ++d[0]; }},
};

INSTANTIATE_TEST_SUITE_P(Rows, DamagedDigestTest, testing::ValuesIn(kDigestDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
