#include <gtest/gtest.h>

#include "calendar/reminders/reminder_commands.h"
#include "reminder_fixture.h"

namespace {

using reminders_test::Json;
using reminders_test::outcome_text;
using reminders_test::reminder_fields;
using reminders_test::RemindersFixture;

class ReminderSaveTest : public RemindersFixture {
 protected:
  ReminderSaveTest() { existing(); }

  // Runs "save" with the lists A, B and RO selected unless the request names its own.
  std::string save(Json params) {
    if (!params.contains("listIds")) params["listIds"] = {"A", "B", "RO"};
    return outcome_text(bridge::run_reminders_command(platform, "save", params));
  }
  std::string save(const std::string& params) { return save(Json::parse(params)); }
  std::string save(const char* params) { return save(Json::parse(params)); }

  // Resets the reminder that store_existing() stores.
  platform::ReminderFields& existing(const std::string& id = "A/1") {
    existing_ = reminder_fields(id, list_a, "Old title");
    existing_.notes = "notes from Reminders";
    existing_.priority = 1;
    existing_.url = platform::Url{"zolt-task:task-1"};
    return existing_;
  }
  void store_existing() { platform.add_reminder(existing_); }

  static platform::DateComponents due_date(std::int64_t day) {
    platform::DateComponents due;
    due.year = 2025, due.month = 3, due.day = day;
    due.calendar = platform::kGregorianCalendar;
    return due;
  }
  static platform::RecurrenceRule daily_rule() {
    return platform::RecurrenceRule::make(0, 1, {}, {}, {}, {}, {}, {}, std::nullopt);
  }

  platform::ReminderFields existing_;
};

TEST_F(ReminderSaveTest, FailuresInTheirOrderLeaveTheStoreUnchanged) {
  existing().recurrence_rules = std::vector{daily_rule()};
  existing_.due_date_components = due_date(1);
  store_existing();
  const struct {
    const char* params;
    const char* message;
  } cases[] = {
      {R"({"id":"gone","listId":"RO","title":""})", "提醒事项已移动或删除，请重新同步。"},
      {R"({"id":"gone","clientId":"task-2","listId":"A","title":"t"})", "提醒事项已移动或删除，请重新同步。"},
      {R"({"title":""})", "缺少提醒事项列表"},
      {R"({"listId":5,"title":"t"})", "缺少提醒事项列表"},
      {R"({"listId":"C","title":""})", "同步列表不存在"},
      {R"({"listIds":["A"],"listId":"B","title":"t"})", "同步列表不存在"},
      {R"({"listId":"RO","title":""})", "提醒事项列表只读"},
      {R"({"listId":"A","title":" \t\n","priority":10})", "任务标题不能为空"},
      {R"({"listId":"A","title":"\u3000\u00a0"})", "任务标题不能为空"},
      {R"({"listId":"A","priority":1})", "任务标题不能为空"},
      {R"({"listId":"A","title":7})", "任务标题不能为空"},
      {R"({"listId":"A","title":"t","priority":10,"due":"2025-3-1"})", "优先级必须在 0–9 之间"},
      {R"({"listId":"A","title":"t","priority":18446744073709551615})", "优先级必须在 0–9 之间"},
      {R"({"listId":"A","title":"t","due":"2025-3-1","recurrenceRules":{}})", "截止日期无效"},
      {R"({"listId":"A","title":"t","due":"2025-03-01 09:30","recurrenceRules":{}})", "截止时间无效"},
      {R"({"listId":"A","title":"t","due":"2025-03-01","recurrenceRules":[{}],"remindAt":"x"})", "重复规则格式无效"},
      {R"({"listId":"A","title":"t","due":"2025-03-01","recurrenceRules":[{"frequency":"Daily","interval":1}]})",
       "重复频率无效"},
      {R"({"listId":"A","title":"t","recurrenceRules":[{"frequency":"daily","interval":1}],"remindAt":"x"})",
       "重复提醒事项需要截止日期"},
      {R"({"id":"A/1","listId":"A","title":"t","recurrenceRules":null})", "重复提醒事项需要截止日期"},
      {R"({"id":"A/1","listId":"A","title":"t","previousFields":{"title":"t"}})", "重复提醒事项需要截止日期"},
      {R"({"listId":"A","title":"t","remindAt":"2025-03-01"})", "提醒时间无效"},
      {R"({"listId":"A","title":"t","remindAt":5})", ""},  // not a text: no alarm, no failure
  };
  for (const auto& c : cases) {
    std::string expected = *c.message ? std::string("failure: ") + c.message : "";
    std::string got = save(c.params);
    if (expected.empty()) {
      EXPECT_EQ(got.rfind("failure", 0), std::string::npos) << c.params << " " << got;
      platform.remove_stored_reminder("new-1");
      continue;
    }
    EXPECT_EQ(got, expected) << c.params;
  }
  EXPECT_EQ(platform.counters().saves, 1);  // only the one valid request
  EXPECT_EQ(platform.stored_reminders().size(), 1u);
  EXPECT_EQ(stored("A/1").title, "Old title");
}

TEST_F(ReminderSaveTest, AnUnchangedInvalidAlarmIsNotReadAgain) {
  store_existing();
  EXPECT_EQ(save(R"({"id":"A/1","listId":"A","title":"t","remindAt":"bad","previousFields":{"remindAt":"bad"}})")
                .rfind("failure", 0),
            std::string::npos);
  EXPECT_EQ(save(R"({"id":"A/1","listId":"A","title":"t","remindAt":"bad","previousFields":{}})"),
            "failure: 提醒时间无效");
}

TEST_F(ReminderSaveTest, CreatesAReminderWithEveryFieldAndTheTaskMarker) {
  EXPECT_EQ(save(R"({"clientId":"task-1","listId":"B","title":"  Buy milk ","notes":"2 litres","due":"2025-03-01T09:30:00+08:00",
                     "priority":5,"remindAt":"2025-03-01T01:00:00Z","completed":false,
                     "recurrenceRules":[{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":7,"week":0}]}],
                     "previousFields":{"title":"  Buy milk ","notes":"2 litres"}})"),
            R"({"clientId":"task-1","completed":false,"due":"2025-03-01T09:30:00+08:00","externalId":"new-1",)"
            R"("id":"new-1","listId":"B","notes":"2 litres","priority":5,)"
            R"("recurrenceRules":[{"daysOfWeek":[{"day":7,"week":0}],"frequency":"weekly","interval":1}],)"
            R"("remindAt":"2025-03-01T01:00:00+00:00","title":"Buy milk"})");
  platform::ReminderFields created = stored("new-1");
  EXPECT_EQ(created.url, platform::Url{"zolt-task:task-1"});
  EXPECT_EQ(created.start_date_components, created.due_date_components);  // a repeating reminder starts when due
  ASSERT_EQ(created.alarms.size(), 1u);
  EXPECT_EQ(created.alarms[0].absolute_date, platform::Date{1'740'790'800});
}

TEST_F(ReminderSaveTest, RepeatingACreateFindsTheReminderThroughItsMarker) {
  const char* request = R"({"clientId":"a b","listId":"A","title":"Call"})";
  EXPECT_EQ(Json::parse(save(request))["clientId"], "a b");
  EXPECT_EQ(Json::parse(save(request))["id"], "new-1");
  EXPECT_EQ(platform.stored_reminders().size(), 1u);
  EXPECT_EQ(stored("new-1").url, platform::Url{"zolt-task:a%20b"});
}

// The calendar database answers a save that changes nothing with no error and
// stores nothing: the save succeeds and the reminder reads back as stored.
TEST_F(ReminderSaveTest, ASaveThatChangesNothingSucceedsWithTheStoredReminder) {
  const char* request = R"({"clientId":"t9","listId":"A","title":"Call","priority":2,"due":"2025-03-01"})";
  std::string created = save(request);
  EXPECT_EQ(created,
            R"({"clientId":"t9","completed":false,"due":"2025-03-01","externalId":"new-1","id":"new-1","listId":"A",)"
            R"("notes":"","priority":2,"recurrenceRules":[],"remindAt":null,"title":"Call"})");
  EXPECT_EQ(save(request), created);
  EXPECT_EQ(platform.counters().saves, 2);
  EXPECT_EQ(platform.counters().unchanged_saves, 1);
  EXPECT_EQ(platform.stored_reminders().size(), 1u);
}

// NO without an error means "nothing to save" only: a save that had something
// to save and got that answer fails, and no reply shows values never stored.
TEST_F(ReminderSaveTest, ASaveAnsweredNoWithoutAnErrorSucceedsOnlyWithNothingToSave) {
  store_existing();
  platform.set_save_answers_no_without_error(true);
  const struct {
    const char* params;
    const char* outcome;
  } cases[] = {
      {R"({"id":"A/1","listId":"A","title":"New title"})",
       "failure: 日历数据库没有保存提醒事项，也没有给出原因"},
      {R"({"clientId":"t9","listId":"A","title":"New"})", "failure: 日历数据库没有保存提醒事项，也没有给出原因"},
      {R"({"id":"A/1","listId":"A","title":"Old title","previousFields":{"title":"Old title"}})",
       R"({"clientId":"task-1","completed":false,"due":null,"externalId":null,"id":"A/1","listId":"A",)"
       R"("notes":"notes from Reminders","priority":1,"recurrenceRules":[],"remindAt":null,"title":"Old title"})"},
  };
  for (const auto& c : cases) EXPECT_EQ(save(c.params), c.outcome) << c.params;
  EXPECT_EQ(platform.stored_reminders().size(), 1u);
  EXPECT_EQ(stored("A/1").title, "Old title");
}

TEST_F(ReminderSaveTest, TitleAndNotesKeepALeadingByteOrderMark) {
  save(R"({"clientId":"bom","listId":"A","title":"\ufeffCall \t","notes":"\ufeff\ufeffnote"})");
  platform::ReminderFields created = stored("new-1");
  EXPECT_EQ(created.title, "\xEF\xBB\xBF" "Call");  // not white space: only the tab and space go
  EXPECT_EQ(created.notes, "\xEF\xBB\xBF\xEF\xBB\xBF" "note");
}

TEST_F(ReminderSaveTest, AnUpdateWritesOnlyTheFieldsThatChangedInTheApplication) {
  existing().completed = false;
  existing_.alarms = {platform::Alarm{}, platform::Alarm::with_absolute_date(platform::Date{100})};
  store_existing();
  // The title changed in the application; notes, priority and alarm did not, and keep what Reminders holds.
  save(R"({"id":"A/1","clientId":"other","listId":"B","title":"New title","notes":"app notes","priority":3,
           "completed":true,"remindAt":null,
           "previousFields":{"title":"Old","notes":"app notes","priority":3,"completed":false,"remindAt":null}})");
  platform::ReminderFields updated = stored("A/1");
  EXPECT_EQ(updated.title, "New title");
  EXPECT_EQ(updated.notes, "notes from Reminders");
  EXPECT_EQ(updated.priority, 1);
  EXPECT_TRUE(updated.completed);
  EXPECT_EQ(updated.alarms.size(), 2u);
  EXPECT_EQ(updated.calendar, list_a);                            // never moved to another list
  EXPECT_EQ(updated.url, platform::Url{"zolt-task:task-1"});    // the marker is never rewritten
}

TEST_F(ReminderSaveTest, AnUpdateWithoutPreviousFieldsWritesEveryField) {
  existing().alarms = {platform::Alarm{}};
  existing_.due_date_components = due_date(1);
  store_existing();
  save(R"({"id":"A/1","listId":"A","title":"T","priority":"3","completed":"true"})");
  platform::ReminderFields updated = stored("A/1");
  EXPECT_EQ(updated.notes, "");
  EXPECT_EQ(updated.priority, 0);
  EXPECT_FALSE(updated.due_date_components.has_value());
  EXPECT_TRUE(updated.alarms.empty());  // relative alarms go too
  EXPECT_FALSE(updated.completed);
}

TEST_F(ReminderSaveTest, PriorityThatIsNoNonNegativeIntegerIsZero) {
  for (const char* priority : {"-1", "2.5", "\"3\"", "null", "9", "0"}) {
    existing().priority = 4;
    store_existing();
    Json params = Json::parse(R"({"id":"A/1","listId":"A","title":"t"})");
    params["priority"] = Json::parse(priority);
    save(params);
    EXPECT_EQ(stored("A/1").priority, std::string(priority) == "9" ? 9 : 0) << priority;
  }
}

TEST_F(ReminderSaveTest, AnUnchangedRequestStillSavesAndStillChecks) {
  store_existing();
  const char* same = R"({"id":"A/1","listId":"A","title":"Old title","previousFields":{"id":"A/1","title":"Old title"}})";
  EXPECT_EQ(Json::parse(save(same))["title"], "Old title");
  EXPECT_EQ(platform.counters().saves, 1);
  EXPECT_EQ(platform.counters().unchanged_saves, 1);
  EXPECT_EQ(save(R"({"id":"A/1","listId":"A","title":" ","previousFields":{"title":" "}})"),
            "failure: 任务标题不能为空");
}

TEST_F(ReminderSaveTest, CompletionIsWrittenOnlyWhenItChangedAndDiffers) {
  const struct {
    bool stored_completed;
    const char* request;
    bool expected;
  } cases[] = {
      {false, R"("completed":true)", true},
      {true, R"("completed":false)", false},
      {true, R"("completed":"yes")", false},
      {true, R"("completed":true,"previousFields":{"completed":false})", true},
      {true, R"("completed":false,"previousFields":{"completed":false})", true},  // unchanged: left as stored
  };
  for (const auto& c : cases) {
    existing().completed = c.stored_completed;
    store_existing();
    save(std::string(R"({"id":"A/1","listId":"A","title":"t",)") + c.request + "}");
    EXPECT_EQ(stored("A/1").completed, c.expected) << c.request;
  }
}

TEST_F(ReminderSaveTest, RepetitionAddedChangedKeptAndRemoved) {
  const char* weekly = R"([{"frequency":"weekly","interval":1}])";
  const char* daily = R"([{"frequency":"daily","interval":1}])";
  const struct {
    const char* name;
    bool stored_repeats;
    std::string request;
    std::optional<std::int64_t> frequency;  // of the stored rule after the save; nothing: no rules
    std::optional<std::int64_t> start_day;
  } cases[] = {
      {"added", false, std::string(R"("due":"2025-03-05","recurrenceRules":)") + weekly, 1, 5},
      {"changed", true, std::string(R"("due":"2025-03-01","recurrenceRules":)") + weekly, 1, 1},
      {"kept by null", true, R"("due":"2025-03-01","recurrenceRules":null)", 0, 1},
      {"kept when unchanged", true,
       std::string(R"("due":"2025-03-01","recurrenceRules":)") + daily + R"(,"previousFields":{"due":"2025-03-01","recurrenceRules":)" + daily + "}",
       0, std::nullopt},
      {"due moved on a repeating reminder", true, R"("due":"2025-03-09","recurrenceRules":null)", 0, 9},
      {"removed", true, R"("recurrenceRules":[])", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    existing();
    if (c.stored_repeats) existing_.recurrence_rules = std::vector{daily_rule()};
    existing_.due_date_components = due_date(1);
    store_existing();
    std::string got = save(std::string(R"({"id":"A/1","listId":"A","title":"t",)") + c.request + "}");
    ASSERT_EQ(got.rfind("failure", 0), std::string::npos) << c.name << ": " << got;
    platform::ReminderFields after = stored("A/1");
    if (c.frequency) {
      ASSERT_TRUE(after.recurrence_rules && after.recurrence_rules->size() == 1) << c.name;
      EXPECT_EQ(after.recurrence_rules->at(0).frequency, *c.frequency) << c.name;
    } else {
      EXPECT_FALSE(after.recurrence_rules.has_value()) << c.name;
    }
    if (c.start_day) {
      ASSERT_TRUE(after.start_date_components.has_value()) << c.name;
      EXPECT_EQ(after.start_date_components->day, *c.start_day) << c.name;
    } else {
      EXPECT_FALSE(after.start_date_components.has_value()) << c.name;
    }
  }
}

TEST_F(ReminderSaveTest, ThePlatformRefusingTheSaveIsTheMessage) {
  store_existing();
  platform.set_save_error("The operation couldn’t be completed.");
  EXPECT_EQ(save(R"({"id":"A/1","listId":"A","title":"New"})"), "failure: The operation couldn’t be completed.");
  EXPECT_EQ(stored("A/1").title, "Old title");
}

}  // namespace
