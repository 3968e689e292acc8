#include <gtest/gtest.h>

#include <functional>

#include "local_store/event_test_env.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::DateComponents;
using platform::kGregorianCalendar;
using platform::kUndefinedComponent;
using platform::RecurrenceDayOfWeek;
using platform::RecurrenceEnd;
using platform::Reminder;
using platform::TimeZone;
using platform::local::testing::utc;

constexpr const char* kFixedZone =
    "BEGIN:VTIMEZONE\r\nTZID:GMT+0800\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0800\r\nTZOFFSETTO:+0800\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

DateComponents date(std::int64_t y, std::int64_t m, std::int64_t d) {
  DateComponents c;
  c.year = y;
  c.month = m;
  c.day = d;
  c.calendar = kGregorianCalendar;
  return c;
}

DateComponents date_time(std::int64_t y, std::int64_t m, std::int64_t d, std::int64_t h, std::int64_t mi,
                         std::int64_t s, std::optional<TimeZone> zone) {
  DateComponents c = date(y, m, d);
  c.hour = h;
  c.minute = mi;
  c.second = s;
  c.time_zone = std::move(zone);
  return c;
}

struct ReadCase {
  const char* name;
  std::string body;
  std::string before_todo;
  std::function<void(const Reminder&)> check;
};

class ReminderReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReminderReadTest, ReadsTheProperty) {
  platform::local::testing::MachineSettings settings;
  settings.zone("Asia/Tokyo");
  store_test::StoreFolder folder;
  folder.add_collection("todo", "", "VTODO");
  folder.write("todo/item.ics", store_test::todo_file("UID:uid-1\r\n" + GetParam().body, GetParam().before_todo));
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  Reminder reminder = store_test::stored_reminder(*store, "todo/item");
  EXPECT_EQ(reminder.calendar_item_identifier(), "todo/item");
  EXPECT_EQ(reminder.calendar_item_external_identifier(), "uid-1");
  ASSERT_TRUE(reminder.calendar());
  EXPECT_EQ(reminder.calendar()->identifier, "todo");
  GetParam().check(reminder);
}

const ReadCase kReadCases[] = {
    {"NoPropertiesGiveDefaults", "", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.title(), "");
       EXPECT_FALSE(r.notes());
       EXPECT_FALSE(r.url());
       EXPECT_FALSE(r.is_completed());
       EXPECT_EQ(r.priority(), 0);
       EXPECT_FALSE(r.due_date_components());
       EXPECT_FALSE(r.start_date_components());
       EXPECT_TRUE(r.alarms().empty());
       EXPECT_FALSE(r.recurrence_rules());
       EXPECT_FALSE(r.time_zone());
     }},
    {"SummaryAndDescriptionUnescaped", "SUMMARY:Milk\\, bread\\; eggs\r\nDESCRIPTION:line one\\nline two\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.title(), "Milk, bread; eggs");
       EXPECT_EQ(r.notes(), "line one\nline two");
     }},
    {"SpacesAroundTextsKept", "SUMMARY:  Lunch  \r\nDESCRIPTION: a\\, b \r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.title(), "  Lunch  ");
       EXPECT_EQ(r.notes(), " a, b ");
     }},
    {"EmptyTextsKeptAsEmpty", "SUMMARY:\r\nDESCRIPTION:\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.title(), "");
       EXPECT_EQ(r.notes(), "");
     }},
    {"FirstOfTwoSummariesEvenWhenEmpty", "SUMMARY:\r\nSUMMARY:Second\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.title(), ""); }},
    {"FoldedTextUnfolded", "SUMMARY:Long\r\n  title\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.title(), "Long title"); }},
    {"InvalidUtf8BecomesReplacementCharacter", "SUMMARY:caf\xff\xfe!\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.title(), "caf\xef\xbf\xbd\xef\xbf\xbd!"); }},
    {"Url", "URL:zolt-task:task-1\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.url(), platform::Url{"zolt-task:task-1"}); }},
    {"UrlThatIsNoUrl", "URL:not a url\r\n", "", [](const Reminder& r) { EXPECT_FALSE(r.url()); }},
    {"StatusCompleted", "STATUS:COMPLETED\r\n", "", [](const Reminder& r) { EXPECT_TRUE(r.is_completed()); }},
    {"CompletedPropertyAlone", "COMPLETED:20250301T010000Z\r\n", "",
     [](const Reminder& r) { EXPECT_TRUE(r.is_completed()); }},
    {"NeedsAction", "STATUS:NEEDS-ACTION\r\n", "", [](const Reminder& r) { EXPECT_FALSE(r.is_completed()); }},
    {"Priority", "PRIORITY:5\r\n", "", [](const Reminder& r) { EXPECT_EQ(r.priority(), 5); }},
    {"DueDate", "DUE;VALUE=DATE:20250301\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.due_date_components(), date(2025, 3, 1));
       EXPECT_EQ(r.due_date_components()->hour, kUndefinedComponent);
       EXPECT_EQ(r.due_date_components()->nanosecond, kUndefinedComponent);
       EXPECT_FALSE(r.time_zone());
     }},
    {"FloatingDue", "DUE:20250301T093015\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.due_date_components(), date_time(2025, 3, 1, 9, 30, 15, std::nullopt));
     }},
    {"UtcDue", "DUE:20250301T093000Z\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.due_date_components(), date_time(2025, 3, 1, 9, 30, 0, TimeZone::named("UTC")));
       EXPECT_EQ(r.time_zone(), TimeZone::named("UTC"));
     }},
    {"NamedZoneDue", "DUE;TZID=Asia/Shanghai:20250301T093000\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.due_date_components(), date_time(2025, 3, 1, 9, 30, 0, TimeZone::named("Asia/Shanghai")));
     }},
    {"FixedOffsetZoneDue", "DUE;TZID=GMT+0800:20250301T093000\r\n", kFixedZone,
     [](const Reminder& r) {
       auto due = r.due_date_components();
       ASSERT_TRUE(due);
       EXPECT_EQ(*due, date_time(2025, 3, 1, 9, 30, 0, TimeZone::for_seconds_from_gmt(28800)));
       EXPECT_EQ(due->time_zone->fixed_offset_seconds(), 28800);
     }},
    {"FixedOffsetNameWithoutDefinition", "DUE;TZID=GMT-0330:20250301T093000\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.due_date_components()->time_zone, TimeZone::for_seconds_from_gmt(-12600));
     }},
    // A name with a character next to the digits is no offset: the time reads as floating.
    {"OffsetNameWithASlash", "DUE;TZID=GMT+0/00:20250301T093000\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.due_date_components(), date_time(2025, 3, 1, 9, 30, 0, std::nullopt)); }},
    {"OffsetNameWithAColon", "DUE;TZID=\"GMT+080:\":20250301T093000\r\n", "",
     [](const Reminder& r) { EXPECT_EQ(r.due_date_components(), date_time(2025, 3, 1, 9, 30, 0, std::nullopt)); }},
    {"StartDate", "DTSTART;TZID=Europe/Berlin:20250301T080000\r\n", "",
     [](const Reminder& r) {
       EXPECT_EQ(r.start_date_components(), date_time(2025, 3, 1, 8, 0, 0, TimeZone::named("Europe/Berlin")));
       EXPECT_EQ(r.time_zone(), TimeZone::named("Europe/Berlin"));
     }},
    {"UnusableDueIsAbsent", "DUE:20251340T250000\r\n", "",
     [](const Reminder& r) { EXPECT_FALSE(r.due_date_components()); }},
    {"AbsoluteAndRelativeAlarms",
     "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;RELATED=END:-PT5M\r\nEND:VALARM\r\n"
     "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250301T013000Z\r\nEND:VALARM\r\n",
     "",
     [](const Reminder& r) {
       ASSERT_EQ(r.alarms().size(), 2u);
       EXPECT_FALSE(r.alarms()[0].absolute_date);
       EXPECT_EQ(r.alarms()[1].absolute_date, platform::Date{1740792600});
     }},
    {"FloatingAlarmInLocalTime", "BEGIN:VALARM\r\nTRIGGER;VALUE=DATE-TIME:20250301T103000\r\nEND:VALARM\r\n", "",
     [](const Reminder& r) {
       ASSERT_EQ(r.alarms().size(), 1u);
       EXPECT_EQ(r.alarms()[0].absolute_date, platform::Date{utc(2025, 3, 1, 1, 30)});
     }},
};

INSTANTIATE_TEST_SUITE_P(Properties, ReminderReadTest, testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RuleCase {
  const char* name;
  const char* rrule;
  std::optional<platform::RecurrenceRule> expected;
};

platform::RecurrenceRule rule(std::int64_t frequency, std::int64_t interval, std::int64_t first_day = 0) {
  platform::RecurrenceRule r;
  r.frequency = frequency;
  r.interval = interval;
  r.first_day_of_the_week = first_day;
  return r;
}

template <class Change>
platform::RecurrenceRule with(platform::RecurrenceRule r, Change change) {
  change(r);
  return r;
}

class RuleReadTest : public testing::TestWithParam<RuleCase> {};

TEST_P(RuleReadTest, ReadsTheRule) {
  platform::local::testing::MachineSettings settings;
  settings.zone("Asia/Tokyo");
  store_test::StoreFolder folder;
  folder.add_collection("todo", "", "VTODO");
  folder.write("todo/item.ics",
               store_test::todo_file(std::string("DUE:20250301T090000\r\nRRULE:") + GetParam().rrule + "\r\n"));
  platform::local::LocalPlatform platform(folder.root());
  Reminder reminder = store_test::stored_reminder(*platform.open_event_store(), "todo/item");
  if (!GetParam().expected) {
    EXPECT_FALSE(reminder.recurrence_rules());
    return;
  }
  ASSERT_TRUE(reminder.recurrence_rules());
  ASSERT_EQ(reminder.recurrence_rules()->size(), 1u);
  const auto& got = reminder.recurrence_rules()->front();
  const auto& want = *GetParam().expected;
  EXPECT_EQ(got.frequency, want.frequency);
  EXPECT_EQ(got.interval, want.interval);
  EXPECT_EQ(got.first_day_of_the_week, want.first_day_of_the_week);
  EXPECT_EQ(got.days_of_the_week, want.days_of_the_week);
  EXPECT_EQ(got.days_of_the_month, want.days_of_the_month);
  EXPECT_EQ(got.months_of_the_year, want.months_of_the_year);
  EXPECT_EQ(got.weeks_of_the_year, want.weeks_of_the_year);
  EXPECT_EQ(got.days_of_the_year, want.days_of_the_year);
  EXPECT_EQ(got.set_positions, want.set_positions);
  EXPECT_EQ(got.recurrence_end, want.recurrence_end);
}

using Days = std::vector<RecurrenceDayOfWeek>;
using Numbers = std::vector<std::int64_t>;

const RuleCase kRuleCases[] = {
    {"Daily", "FREQ=DAILY", rule(0, 1)},
    {"WeeklyWithDaysAndWeekStart", "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE;WKST=SU",
     with(rule(1, 2, 1), [](auto& r) { r.days_of_the_week = Days{{2, 0}, {4, 0}}; })},
    {"WeekStartMondayIsKept", "FREQ=WEEKLY;WKST=MO", rule(1, 1, 2)},
    {"OrdinalDaysAndCount", "FREQ=MONTHLY;BYDAY=-1FR,2SA;COUNT=5",
     with(rule(2, 1),
          [](auto& r) {
            r.days_of_the_week = Days{{6, -1}, {7, 2}};
            r.recurrence_end = RecurrenceEnd::with_occurrence_count(5);
          })},
    {"MonthListsAndUntil", "FREQ=YEARLY;BYMONTH=3,4;BYMONTHDAY=1,-1;BYSETPOS=1;UNTIL=20251231T235959Z",
     with(rule(3, 1),
          [](auto& r) {
            r.months_of_the_year = Numbers{3, 4};
            r.days_of_the_month = Numbers{1, -1};
            r.set_positions = Numbers{1};
            r.recurrence_end = RecurrenceEnd::with_end_date(platform::Date{utc(2025, 12, 31, 23, 59, 59)});
          })},
    {"WeekAndYearDays", "FREQ=YEARLY;BYWEEKNO=1,52;BYYEARDAY=100,-1",
     with(rule(3, 1),
          [](auto& r) {
            r.weeks_of_the_year = Numbers{1, 52};
            r.days_of_the_year = Numbers{100, -1};
          })},
    {"DateUntilIncludesItsDay", "FREQ=DAILY;UNTIL=20250310",
     with(rule(0, 1),
          [](auto& r) {
            r.recurrence_end = RecurrenceEnd::with_end_date(platform::Date{utc(2025, 3, 10, 14, 59, 59)});
          })},
    {"UnknownPartsAreSkipped", "FREQ=DAILY;X-EXTRA=1;COUNT=2",
     with(rule(0, 1), [](auto& r) { r.recurrence_end = RecurrenceEnd::with_occurrence_count(2); })},
    {"LowerCaseNames", "freq=weekly;interval=3", rule(1, 3)},
    {"HourlyIsNoPlatformRule", "FREQ=HOURLY", std::nullopt},
    {"Unparseable", "FREQ=SOMETIMES", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Rules, RuleReadTest, testing::ValuesIn(kRuleCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
