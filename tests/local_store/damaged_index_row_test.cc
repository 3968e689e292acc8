// Index rows changed after the index was made, as damage or another program would:
// through the executable, every command answers byte for byte what a fresh read of
// the files answers.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "cli/cli_runner.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/index/byte_form.h"
#include "platform/local/index/store_index.h"

namespace {

using platform::local::ByteWriter;
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
  std::function<void(std::string&)> bytes;
};

class DamagedReminderRowTest : public DamagedIndexRowTest, public testing::WithParamInterface<ReminderDamage> {};

TEST_P(DamagedReminderRowTest, AnswersAsTheFiles) {
  // No index yet: this is the files' answer, and the index is made from them.
  std::string fresh = run("reminders-read", kRemindersRead);
  ASSERT_NE(fresh.find("\"Buy milk\""), std::string::npos) << fresh;
  damage("todo", [&](platform::local::IndexedFile& row) {
    ASSERT_FALSE(row.reminder.empty());
    GetParam().bytes(row.reminder);
  });
  EXPECT_EQ(run("reminders-read", kRemindersRead), fresh);
}

// Fields as the index writes them.
std::string texts(std::initializer_list<std::string_view> values) {
  ByteWriter out;
  for (std::string_view value : values) out.text(value);
  return out.take();
}

std::string integers(std::initializer_list<std::int64_t> values) {
  ByteWriter out;
  for (std::int64_t value : values) out.number(value, value, value);
  return out.take();
}

std::string real(double value) {
  ByteWriter out;
  out.real(value);
  return out.take();
}

// The first `from` in the packed row put in its place by `to`.
std::function<void(std::string&)> replaced(const std::string& from, const std::string& to) {
  return [from, to](std::string& packed) {
    std::size_t at = packed.find(from);
    ASSERT_NE(at, std::string::npos);
    packed.replace(at, from.size(), to);
  };
}

// The due date's zone after its calendar: a flag for a zone, one for a fixed offset,
// then its name.
const std::string kDueZone = texts({"gregorian"}) + '\1' + '\0' + texts({"UTC"});

const ReminderDamage kReminderDamages[] = {
    {"TitleNotUtf8", replaced("Buy milk", "Bu\xff milk")},
    {"NotesNotUtf8", replaced(texts({"two litres"}), texts({"two \xc3 litres"}))},
    {"UrlNotUtf8", replaced(texts({"https://example.com/milk"}), texts({"https://example.com/\xfe"}))},
    {"UidNotUtf8", replaced(texts({"r"}), texts({"r\xff"}))},
    {"UrlNoUrl", replaced(texts({"https://example.com/milk"}), texts({"no url at all"}))},
    // A task marker the platform's URL parser refuses: a file's would show no task.
    {"UrlMarkerWithSpace", replaced(texts({"https://example.com/milk"}), texts({"zolt-task:a b"}))},
    // An hour once cut to an int.
    {"ZoneOffsetBeyondAnInt",
     replaced(kDueZone, texts({"gregorian"}) + '\1' + '\1' + integers({(std::int64_t{1} << 32) + 3600}))},
    // The one int whose negation is not an int.
    {"ZoneOffsetLeastInt",
     replaced(kDueZone, texts({"gregorian"}) + '\1' + '\1' + integers({std::numeric_limits<int>::min()}))},
    // The flag of completion comes before the priority.
    {"PriorityAboveNine", replaced('\0' + integers({5}), '\0' + integers({10}))},
    {"PriorityNegative", replaced('\0' + integers({5}), '\0' + integers({-1}))},
    {"PriorityHuge", replaced('\0' + integers({5}), '\0' + integers({549755813896}))},
    {"DueMonth13", replaced(integers({2025, 3}), integers({2025, 13}))},
    {"DueYearHuge", replaced(integers({2025, 3}), integers({99999999999, 3}))},
    {"DueHour24", replaced(integers({10, 9}), integers({10, 24}))},
    {"AlarmAtNaN", replaced(real(1741593600), real(std::nan("")))},
    {"AlarmFarOut", replaced(real(1741593600), real(1e300))},
    {"AlarmBlockNoValarm", replaced("BEGIN:VALARM", "END:VTODO\r\nX")},
    {"RuleOfTwoLines", replaced(texts({"FREQ=WEEKLY"}), texts({"FREQ=WEEKLY\r\nX-INJECTED:1"}))},
    {"RuleFinerThanADay", replaced(texts({"FREQ=WEEKLY"}), texts({"FREQ=SECONDLY"}))},
    {"Truncated", [](std::string& packed) { packed.resize(packed.size() - 3); }},
    {"TrailingBytes", [](std::string& packed) { packed += "xyz"; }},
    {"TitleLengthLonger", [](std::string& packed) { ++packed[packed.find("Buy milk") - 4]; }},
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
