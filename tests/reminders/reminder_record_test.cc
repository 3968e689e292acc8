#include <gtest/gtest.h>

#include "calendar/reminders/reminder_record.h"
#include "calendar/reminders/task_marker.h"
#include "reminder_fixture.h"

namespace {

using bridge::reminders::client_id_from_url;
using bridge::reminders::reminder_to_record;
using bridge::reminders::task_marker_url;
using reminders_test::reminder_fields;
using reminders_test::RemindersFixture;

using ReminderRecordTest = RemindersFixture;

platform::Reminder as_reminder(platform::ReminderFields fields) { return platform::Reminder(std::move(fields), nullptr, false); }

TEST_F(ReminderRecordTest, EveryKeyFromItsOwnProperty) {
  platform::ReminderFields fields = reminder_fields("A/r1", list_a, "Buy milk");
  fields.calendar_item_external_identifier = "uid-1";
  fields.notes = "2% \"fat\"\nfree";
  fields.url = platform::Url{"zolt-task:task-1"};
  fields.completed = true;
  fields.priority = 5;
  platform::DateComponents due;
  due.year = 2025, due.month = 3, due.day = 1, due.hour = 9, due.minute = 30;
  due.calendar = platform::kGregorianCalendar;
  due.time_zone = platform::TimeZone::for_seconds_from_gmt(8 * 3600);
  fields.due_date_components = due;
  fields.alarms = {platform::Alarm{}, platform::Alarm::with_absolute_date(platform::Date{1'740'792'600.5}),
                   platform::Alarm::with_absolute_date(platform::Date{0})};
  fields.recurrence_rules = std::vector{platform::RecurrenceRule::make(
      1, 1, std::vector{platform::RecurrenceDayOfWeek::make(2, 0)}, {}, {}, {}, {}, {}, std::nullopt)};

  EXPECT_EQ(reminder_to_record(platform, as_reminder(fields)).dump(),
            R"({"clientId":"task-1","completed":true,"due":"2025-03-01T09:30:00+08:00","externalId":"uid-1",)"
            R"("id":"A/r1","listId":"A","notes":"2% \"fat\"\nfree","priority":5,)"
            R"("recurrenceRules":[{"daysOfWeek":[{"day":2,"week":0}],"frequency":"weekly","interval":1}],)"
            R"("remindAt":"2025-03-01T01:30:00+00:00","title":"Buy milk"})");
}

TEST_F(ReminderRecordTest, AbsentValuesAreNullOrTheirDefault) {
  platform::ReminderFields fields = reminder_fields("x", nullptr, "");
  fields.alarms = {platform::Alarm{}};  // relative alarms give no "remindAt"
  EXPECT_EQ(reminder_to_record(platform, as_reminder(fields)).dump(),
            R"({"clientId":null,"completed":false,"due":null,"externalId":null,"id":"x","listId":null,)"
            R"("notes":"","priority":0,"recurrenceRules":[],"remindAt":null,"title":""})");
}

// One record refilled for reminders whose values come and go (text to null, null
// to text, rules to none) reads as each reminder's own record.
TEST_F(ReminderRecordTest, ARefilledRecordHoldsNothingOfTheLastReminder) {
  platform::ReminderFields full = reminder_fields("A/full", list_a, "A long title that takes some room");
  full.calendar_item_external_identifier = "uid-full";
  full.notes = "notes";
  full.url = platform::Url{"zolt-task:task-9"};
  full.completed = true;
  full.priority = 9;
  platform::DateComponents due;
  due.year = 2025, due.month = 3, due.day = 1;
  full.due_date_components = due;
  full.alarms = {platform::Alarm::with_absolute_date(platform::Date{1'740'792'600})};
  full.recurrence_rules = std::vector{platform::RecurrenceRule::make(1, 2, {}, {}, {}, {}, {}, {}, std::nullopt)};
  platform::ReminderFields bare = reminder_fields("x", nullptr, "");
  platform::ReminderFields short_title = reminder_fields("B/s", list_a, "s");
  nlohmann::json record;
  for (const auto& fields : {full, bare, full, short_title, bare}) {
    platform::Reminder reminder = as_reminder(fields);
    bridge::reminders::refill_record(platform, reminder, record);
    EXPECT_EQ(record.dump(), reminder_to_record(platform, reminder).dump()) << fields.calendar_item_identifier;
  }
}

// A value to refill that is not a record of these keys (eleven other keys, one key
// missing or extra, another type) becomes the reminder's own record.
TEST_F(ReminderRecordTest, AnyValueRefilledBecomesTheRecord) {
  platform::Reminder reminder = as_reminder(reminder_fields("A/1", list_a, "title"));
  const std::string expected = reminder_to_record(platform, reminder).dump();
  nlohmann::json eleven_others = nlohmann::json::object();
  for (char key = 'a'; key < 'a' + 11; ++key) eleven_others[std::string(1, key)] = 1;
  nlohmann::json one_missing = nlohmann::json::parse(expected);
  one_missing.erase("title");
  nlohmann::json one_more = nlohmann::json::parse(expected);
  one_more["zzz"] = true;
  nlohmann::json renamed = one_missing;
  renamed["titles"] = "x";
  for (nlohmann::json record : {eleven_others, one_missing, one_more, renamed, nlohmann::json::array({1, 2}),
                                nlohmann::json(nullptr), nlohmann::json("text")}) {
    std::string before = record.dump();
    bridge::reminders::refill_record(platform, reminder, record);
    EXPECT_EQ(record.dump(), expected) << before;
  }
}

TEST_F(ReminderRecordTest, AlarmOutsideTheWritableYearsGivesNull) {
  platform::ReminderFields fields = reminder_fields("x", list_a);
  fields.alarms = {platform::Alarm::with_absolute_date(platform::Date{1e15})};
  EXPECT_TRUE(reminder_to_record(platform, as_reminder(fields))["remindAt"].is_null());
}

TEST_F(ReminderRecordTest, ClientIdReadFromTheUrl) {
  const struct {
    const char* url;
    std::optional<const char*> client_id;
  } cases[] = {
      {"zolt-task:task-1", "task-1"},
      {"zolt-task:", ""},
      {"zolt-task", std::nullopt},
      {"ZOLT-TASK:task-1", std::nullopt},
      {"https://example.com/zolt-task:1", std::nullopt},
      // unencoded, as earlier versions wrote identifiers a URL can hold
      {"zolt-task:a/b?c=d#e", "a/b?c=d#e"},
      {"zolt-task:a[b]", "a[b]"},
      // the encoded form, whichever system wrote it
      {"zolt-task:a%20b", "a b"},
      {"zolt-task:%E4%BB%BB%E5%8A%A1", "任务"},
      {"zolt-task:50%25", "50%"},
      {"zolt-task:a%2Fb%3Fc%3Dd%23e", "a/b?c=d#e"},
      {"zolt-task:a%5Bb%5D", "a[b]"},
      // anything else with "%" reads as it stands
      {"zolt-task:a%2", "a%2"},
      {"zolt-task:a%41", "a%41"},
      {"zolt-task:%61%20b", "%61%20b"},  // the encoder never escapes an unreserved byte
      {"zolt-task:a%e4%bb%bb", "a%e4%bb%bb"},
      {"zolt-task:%FF", "%FF"},
      {"zolt-task:a%20b c", "a%20b c"},
  };
  for (const auto& c : cases) {
    std::optional<std::string> expected;
    if (c.client_id) expected = *c.client_id;
    EXPECT_EQ(client_id_from_url(platform::Url{c.url}), expected) << c.url;
  }
  EXPECT_EQ(client_id_from_url(std::nullopt), std::nullopt);
}

// A system whose URL parser takes any text after a scheme, as a newer parser
// may take characters that an older one refuses.
class LenientUrlPlatform : public double_platform::PlatformDouble {
 public:
  std::optional<platform::Url> url_with_string(std::string_view text) override {
    if (text.find(':') == std::string_view::npos) return std::nullopt;
    return platform::Url{std::string(text)};
  }
};

// The marker's bytes follow one rule, not the system's URL parser: two Macs on one
// account write the same marker for a task and each finds the other's.
TEST_F(ReminderRecordTest, MarkerBytesAreTheSameOnEverySystemAndReadBackTheIdentifier) {
  const struct {
    const char* client_id;
    const char* url;
  } cases[] = {
      // identifiers as the application makes them stay as they are
      {"task-1", "zolt-task:task-1"},
      {"task-7f3a", "zolt-task:task-7f3a"},
      {"T1.a_b~c", "zolt-task:T1.a_b~c"},
      {"", "zolt-task:"},
      // every other byte is encoded
      {"a/b?c=d#e", "zolt-task:a%2Fb%3Fc%3Dd%23e"},
      {"a[b]", "zolt-task:a%5Bb%5D"},
      {"a b", "zolt-task:a%20b"},
      {"任务", "zolt-task:%E4%BB%BB%E5%8A%A1"},
      {"x\"<{|}>y", "zolt-task:x%22%3C%7B%7C%7D%3Ey"},
      {"50%", "zolt-task:50%25"},
      {"a%20b", "zolt-task:a%2520b"},
      {"tab\there", "zolt-task:tab%09here"},
  };
  LenientUrlPlatform lenient;
  platform::Platform* systems[] = {&platform, &lenient};
  for (const auto& c : cases) {
    for (platform::Platform* system : systems) {
      std::optional<platform::Url> url = task_marker_url(*system, c.client_id);
      ASSERT_TRUE(url.has_value()) << c.client_id;
      EXPECT_EQ(url->absolute_string, c.url) << c.client_id;
      EXPECT_EQ(client_id_from_url(url), c.client_id) << c.url;
    }
  }
}

}  // namespace
