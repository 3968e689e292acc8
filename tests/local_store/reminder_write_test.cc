#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "local_store/event_test_env.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::DateComponents;
using platform::RecurrenceDayOfWeek;
using platform::RecurrenceEnd;
using platform::RecurrenceRule;
using platform::Reminder;
using platform::TimeZone;
using store_test::lines_without_stamps;
using Lines = std::vector<std::string>;

DateComponents components(std::int64_t y, std::int64_t m, std::int64_t d, std::int64_t h = platform::kUndefinedComponent,
                          std::int64_t mi = platform::kUndefinedComponent, std::optional<TimeZone> zone = std::nullopt) {
  DateComponents c;
  c.calendar = platform::kGregorianCalendar;
  c.year = y;
  c.month = m;
  c.day = d;
  c.hour = h;
  c.minute = mi;
  c.time_zone = std::move(zone);
  return c;
}

// The lines of the VTODO itself (between its BEGIN and END), stamps left out.
Lines todo_lines(const std::string& text) {
  Lines all = lines_without_stamps(text);
  auto begin = std::find(all.begin(), all.end(), "BEGIN:VTODO");
  auto end = std::find(all.begin(), all.end(), "END:VTODO");
  if (begin == all.end() || end == all.end()) return all;
  return Lines(begin + 1, end);
}

struct WriteCase {
  const char* name;
  std::string stored_body;  // the VTODO's lines before the save (after UID)
  std::function<void(Reminder&)> change;
  Lines expected_body;      // the VTODO's lines after it, stamps left out
  Lines expected_outside = {};  // lines that must appear before the VTODO
};

class ReminderWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(ReminderWriteTest, WritesOnlyTheChangedField) {
  platform::local::testing::MachineSettings settings;
  settings.zone("UTC");
  store_test::StoreFolder folder;
  folder.add_collection("todo", "", "VTODO");
  folder.write("todo/item.ics", store_test::todo_file("UID:u\r\n" + GetParam().stored_body));
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  Reminder reminder = store_test::stored_reminder(*store, "todo/item");
  GetParam().change(reminder);
  ASSERT_EQ(store_test::refusal(store->save_reminder(reminder)), "");
  std::string text = folder.read("todo/item.ics");
  Lines expected = GetParam().expected_body;
  expected.insert(expected.begin(), "UID:u");
  EXPECT_EQ(todo_lines(text), expected) << text;
  for (const auto& line : GetParam().expected_outside) {
    Lines all = lines_without_stamps(text);
    auto todo = std::find(all.begin(), all.end(), "BEGIN:VTODO");
    EXPECT_NE(std::find(all.begin(), todo, line), todo) << line << "\n" << text;
  }
  // The store reads back what it wrote, and its own copy agrees with the file.
  Reminder fresh = store_test::stored_reminder(*platform.open_event_store(), "todo/item");
  Reminder cached = store_test::stored_reminder(*store, "todo/item");
  EXPECT_EQ(fresh.title(), cached.title());
  EXPECT_EQ(fresh.due_date_components(), cached.due_date_components());
  EXPECT_NE(text.find("DTSTAMP:"), std::string::npos);
  EXPECT_NE(text.find("LAST-MODIFIED:"), std::string::npos);
}

RecurrenceRule weekly_rule() {
  return RecurrenceRule::make(1, 2, std::vector<RecurrenceDayOfWeek>{{2, 0}, {6, -1}}, std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

const WriteCase kWriteCases[] = {
    {"Title", "SUMMARY:Old\r\nPRIORITY:3\r\n", [](Reminder& r) { r.set_title("New, fresh"); },
     {"SUMMARY:New\\, fresh", "PRIORITY:3"}},
    {"NotesSet", "", [](Reminder& r) { r.set_notes("a\nb"); }, {"DESCRIPTION:a\\nb"}},
    {"NotesRemoved", "DESCRIPTION:old\r\n", [](Reminder& r) { r.set_notes(std::nullopt); }, {}},
    {"EmptyNotesRemoved", "DESCRIPTION:old\r\n", [](Reminder& r) { r.set_notes(""); }, {}},
    {"UrlSet", "URL:https://old.example/\r\n", [](Reminder& r) { r.set_url(platform::Url{"zolt-task:t1"}); },
     {"URL:zolt-task:t1"}},
    {"UrlRemoved", "URL:https://old.example/\r\n", [](Reminder& r) { r.set_url(std::nullopt); }, {}},
    {"Uncompleted", "STATUS:COMPLETED\r\nCOMPLETED:20250101T000000Z\r\n",
     [](Reminder& r) { r.set_completed(false); }, {"STATUS:NEEDS-ACTION"}},
    {"PriorityZeroRemoves", "PRIORITY:5\r\n", [](Reminder& r) { r.set_priority(0); }, {}},
    {"PrioritySet", "", [](Reminder& r) { r.set_priority(9); }, {"PRIORITY:9"}},
    {"DueDateOnly", "DUE:20240101T000000Z\r\n", [](Reminder& r) { r.set_due_date_components(components(2025, 3, 1)); },
     {"DUE;VALUE=DATE:20250301"}},
    {"DueFloating", "", [](Reminder& r) { r.set_due_date_components(components(2025, 3, 1, 9, 30)); },
     {"DUE:20250301T093000"}},
    {"DueUtcZone", "",
     [](Reminder& r) { r.set_due_date_components(components(2025, 3, 1, 9, 30, TimeZone::named("UTC"))); },
     {"DUE:20250301T093000Z"}},
    {"DueOffsetZeroIsUtc", "",
     [](Reminder& r) { r.set_due_date_components(components(2025, 3, 1, 9, 30, TimeZone::for_seconds_from_gmt(0))); },
     {"DUE:20250301T093000Z"}},
    {"DueNamedZone", "",
     [](Reminder& r) { r.set_due_date_components(components(2025, 3, 1, 9, 30, TimeZone::named("Asia/Shanghai"))); },
     {"DUE;TZID=Asia/Shanghai:20250301T093000"}},
    {"DueFixedOffsetZone", "",
     [](Reminder& r) {
       r.set_due_date_components(components(2025, 3, 1, 9, 30, TimeZone::for_seconds_from_gmt(8 * 3600)));
     },
     {"DUE;TZID=GMT+0800:20250301T093000"},
     {"BEGIN:VTIMEZONE", "TZID:GMT+0800", "TZOFFSETFROM:+0800", "TZOFFSETTO:+0800", "END:VTIMEZONE"}},
    {"DueNegativeFixedOffset", "",
     [](Reminder& r) {
       r.set_due_date_components(components(2025, 3, 1, 9, 30, TimeZone::for_seconds_from_gmt(-(3 * 3600 + 1800))));
     },
     {"DUE;TZID=GMT-0330:20250301T093000"}, {"TZID:GMT-0330", "TZOFFSETTO:-0330"}},
    {"DueNanosecondNotStored", "",
     [](Reminder& r) {
       auto c = components(2025, 3, 1, 9, 30, TimeZone::named("UTC"));
       c.second = 5;
       c.nanosecond = 250000000;
       r.set_due_date_components(c);
     },
     {"DUE:20250301T093005Z"}},
    {"DueRemoved", "DUE:20250301T093000Z\r\n", [](Reminder& r) { r.set_due_date_components(std::nullopt); }, {}},
    {"StartSet", "", [](Reminder& r) { r.set_start_date_components(components(2025, 2, 28)); },
     {"DTSTART;VALUE=DATE:20250228"}},
    {"StartRemoved", "DTSTART:20250301T093000\r\n", [](Reminder& r) { r.set_start_date_components(std::nullopt); }, {}},
    {"AlarmsReplaceEveryValarm",
     "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
     "TRIGGER;VALUE=DATE-TIME:20240101T000000Z\r\nEND:VALARM\r\n",
     [](Reminder& r) { r.set_alarms({platform::Alarm::with_absolute_date(platform::Date{1740792600.75})}); },
     {"BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder", "TRIGGER;VALUE=DATE-TIME:20250301T013000Z",
      "END:VALARM"}},
    {"AlarmsRemoved", "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n",
     [](Reminder& r) { r.set_alarms({}); }, {}},
    {"AlarmHandedBackIsKeptWhole",
     "BEGIN:VALARM\r\nACTION:AUDIO\r\nX-KEEP:1\r\nTRIGGER;VALUE=DATE-TIME:20240101T000000Z\r\nEND:VALARM\r\n",
     [](Reminder& r) { r.set_alarms(r.alarms()); },
     {"BEGIN:VALARM", "ACTION:AUDIO", "X-KEEP:1", "TRIGGER;VALUE=DATE-TIME:20240101T000000Z", "END:VALARM"}},
    {"NewRuleWithoutWeekStart", "", [](Reminder& r) { r.set_recurrence_rules(std::vector{weekly_rule()}); },
     {"RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,-1FR"}},
    {"RuleWithMondayWeekStart", "",
     [](Reminder& r) {
       RecurrenceRule rule = weekly_rule();
       rule.first_day_of_the_week = 2;
       r.set_recurrence_rules(std::vector{rule});
     },
     {"RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,-1FR;WKST=MO"}},
    {"CopiedRuleKeepsWeekStartAndParts", "RRULE:FREQ=DAILY;BYHOUR=9;WKST=SU\r\n",
     [](Reminder& r) {
       RecurrenceRule copy = r.recurrence_rules()->front();
       copy.recurrence_end = RecurrenceEnd::with_occurrence_count(4);
       r.set_recurrence_rules(std::vector{copy});
     },
     {"RRULE:FREQ=DAILY;COUNT=4;BYHOUR=9;WKST=SU"}},
    {"RulesInOrderWithEnds", "RRULE:FREQ=DAILY\r\n",
     [](Reminder& r) {
       auto monthly = RecurrenceRule::make(2, 1, std::nullopt, std::vector<std::int64_t>{1, -1}, std::vector<std::int64_t>{6},
                                           std::nullopt, std::nullopt, std::vector<std::int64_t>{-1},
                                           RecurrenceEnd::with_end_date(platform::Date{1767225599.9}));
       auto yearly = RecurrenceRule::make(3, 1, std::nullopt, std::nullopt, std::nullopt,
                                          std::vector<std::int64_t>{20}, std::vector<std::int64_t>{100}, std::nullopt,
                                          RecurrenceEnd::with_occurrence_count(3));
       r.set_recurrence_rules(std::vector{monthly, yearly});
     },
     {"RRULE:FREQ=MONTHLY;UNTIL=20251231T235959Z;BYMONTHDAY=1,-1;BYMONTH=6;BYSETPOS=-1",
      "RRULE:FREQ=YEARLY;COUNT=3;BYYEARDAY=100;BYWEEKNO=20"}},
    {"RulesRemoved", "RRULE:FREQ=DAILY\r\nRRULE:FREQ=WEEKLY\r\n", [](Reminder& r) { r.set_recurrence_rules({}); }, {}},
};

INSTANTIATE_TEST_SUITE_P(Fields, ReminderWriteTest, testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
