#include <gtest/gtest.h>

#include "calendar/reminders/reminder_commands.h"
#include "reminder_fixture.h"

namespace {

using reminders_test::Json;
using reminders_test::outcome_text;
using reminders_test::reminder_fields;

constexpr const char* kNotRestorable = "failure: 无法恢复重复次数，请重新同步后重试";

// An existing repeating reminder saved with a counted end, as the application
// sends it when the count was edited.
struct RepeatingReminder : reminders_test::ReminderLists {
  RepeatingReminder() {
    platform::ReminderFields fields = reminder_fields("A/1", list_a, "Water plants");
    platform::DateComponents due;
    due.year = 2025, due.month = 3, due.day = 1;
    due.calendar = platform::kGregorianCalendar;
    fields.due_date_components = due;
    fields.start_date_components = due;
    platform::RecurrenceRule weekly = platform::RecurrenceRule::make(
        1, 1, std::vector{platform::RecurrenceDayOfWeek::make(2, 0)}, {}, {}, {}, {}, {}, std::nullopt);
    weekly.first_day_of_the_week = 2;
    fields.recurrence_rules = std::vector{weekly};
    platform.add_reminder(fields);
  }

  Json request(const char* rule = R"({"frequency":"daily","interval":1,"end":{"count":3}})") {
    Json params = Json::parse(R"({"id":"A/1","listId":"A","title":"Water plants","due":"2025-03-01","completed":false,
                                  "listIds":["A","B"]})");
    params["recurrenceRules"] = Json::array({Json::parse(rule)});
    return params;
  }
  std::string save(const Json& params) { return outcome_text(bridge::run_reminders_command(platform, "save", params)); }

  // The saves with these numbers store `count` instead of the requested count (0: no end at all).
  void change_count_on_saves(std::vector<int> save_numbers, std::uint64_t count) {
    platform.set_save_transform([this, save_numbers, count](platform::ReminderFields& stored) {
      int number = platform.counters().saves;
      if (std::find(save_numbers.begin(), save_numbers.end(), number) == save_numbers.end()) return;
      if (!stored.recurrence_rules) return;
      for (auto& rule : *stored.recurrence_rules) {
        if (!rule.recurrence_end) continue;
        if (count == 0) rule.recurrence_end.reset();
        else rule.recurrence_end = platform::RecurrenceEnd::with_occurrence_count(count);
      }
    });
  }
  std::optional<std::uint64_t> stored_count() {
    auto fields = stored("A/1");
    if (!fields.recurrence_rules || fields.recurrence_rules->empty()) return std::nullopt;
    const auto& end = fields.recurrence_rules->at(0).recurrence_end;
    return end ? std::optional(end->occurrence_count) : std::optional<std::uint64_t>(0);
  }
  int saves() { return platform.counters().saves; }
  int fetches() { return platform.counters().fetches; }
};

class RecurrenceCountCheckTest : public ::testing::Test, public RepeatingReminder {};

TEST_F(RecurrenceCountCheckTest, AKeptCountIsReadBackThroughAFreshStore) {
  Json reply = Json::parse(save(request()));
  EXPECT_EQ(reply["recurrenceRules"].dump(), R"([{"end":{"count":3},"frequency":"daily","interval":1}])");
  EXPECT_EQ(saves(), 1);
  EXPECT_EQ(fetches(), 2);
  EXPECT_EQ(platform.counters().stores_opened, 2);
  EXPECT_EQ(platform.counters().stores_alive, 0);
}

TEST_F(RecurrenceCountCheckTest, ACountLostByTheFirstSaveIsRestoredOnce) {
  change_count_on_saves({1}, 2);
  Json reply = Json::parse(save(request()));
  EXPECT_EQ(reply["recurrenceRules"][0]["end"]["count"], 3);
  EXPECT_EQ(stored_count(), 3u);
  EXPECT_EQ(saves(), 3);    // the save, then the rules removed and installed again
  EXPECT_EQ(fetches(), 3);  // the fetch and two re-reads
  EXPECT_EQ(platform.counters().stores_opened, 3);
  // No other writer comes between the lookup and the restored count.
  EXPECT_EQ(platform.counters().write_locks_taken, 1);
  EXPECT_EQ(platform.counters().fetches_under_write_lock, 3);
  EXPECT_EQ(platform.counters().saves_under_write_lock, 3);
  EXPECT_FALSE(platform.write_lock_held());
}

TEST_F(RecurrenceCountCheckTest, WhenTheCountCannotBeRestored) {
  const struct {
    const char* name;
    std::vector<int> lossy_saves;
    std::uint64_t stored_count;
    const char* rule;
    int saves;
    int fetches;
  } cases[] = {
      {"still different after one restore", {1, 3}, 2, nullptr, 3, 3},
      {"the end is gone", {1}, 0, nullptr, 1, 2},
      {"the rule needs its first weekday",
       {1},
       2,
       R"({"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0}],"firstDayOfWeek":2,"end":{"count":3}})",
       1,
       2},
  };
  for (const auto& c : cases) {
    RepeatingReminder fresh;
    fresh.change_count_on_saves(c.lossy_saves, c.stored_count);
    EXPECT_EQ(fresh.save(c.rule ? fresh.request(c.rule) : fresh.request()), kNotRestorable) << c.name;
    EXPECT_EQ(fresh.saves(), c.saves) << c.name;
    EXPECT_EQ(fresh.fetches(), c.fetches) << c.name;
  }
}

TEST_F(RecurrenceCountCheckTest, AFailedRestoreLeavesTheRulesAsTheyWereRead) {
  change_count_on_saves({1}, 2);
  platform.set_save_error_on(3, "无法存储");
  EXPECT_EQ(save(request()), "failure: 无法存储");
  EXPECT_EQ(saves(), 4);  // the save, the removal, the failed install, and the rules put back
  EXPECT_EQ(stored_count(), 2u);
}

TEST_F(RecurrenceCountCheckTest, TheRemovalOfTheRulesFailing) {
  change_count_on_saves({1}, 2);
  platform.set_save_error_on(2, "无法存储");
  EXPECT_EQ(save(request()), "failure: 无法存储");
  EXPECT_EQ(stored_count(), 2u);
}

TEST_F(RecurrenceCountCheckTest, TheReminderIsLookedUpInItsOwnList) {
  platform.remove_stored_reminder("A/1");
  platform::ReminderFields fields = reminder_fields("B/1", list_b, "Elsewhere");
  platform::DateComponents due;
  due.year = 2025;
  due.month = 3;
  due.day = 1;
  fields.due_date_components = due;
  platform.add_reminder(fields);
  Json params = request();
  params["id"] = "B/1";  // "listId" still names A
  Json reply = Json::parse(save(params));
  EXPECT_EQ(reply["listId"], "B");
  EXPECT_EQ(reply["recurrenceRules"][0]["end"]["count"], 3);
}

TEST_F(RecurrenceCountCheckTest, AReminderThatLeftItsListOrAFailedReRead) {
  platform.set_save_transform([this](platform::ReminderFields& stored) { stored.calendar = list_b; });
  EXPECT_EQ(save(request()), "failure: 提醒事项已移动或删除，请重新同步。");

  RepeatingReminder unreadable;
  unreadable.platform.set_after_fetch_answer(
      [&] { unreadable.platform.set_fetch_answer(double_platform::FetchAnswer::no_array); });
  EXPECT_EQ(unreadable.save(unreadable.request()), "failure: 读取提醒事项失败，未执行同步。");
}

TEST_F(RecurrenceCountCheckTest, OnlyACountedEndOnAnOpenExistingReminderIsChecked) {
  const struct {
    const char* name;
    const char* change;  // merged into the request
  } cases[] = {
      {"completed", R"({"completed":true})"},
      {"completion not given", R"({"completed":null})"},
      {"new reminder", R"({"id":null})"},
      {"rules unchanged", R"({"previousFields":{"recurrenceRules":[{"frequency":"daily","interval":1,"end":{"count":3}}]}})"},
      {"no count", R"({"recurrenceRules":[{"frequency":"daily","interval":1}]})"},
  };
  for (const auto& c : cases) {
    RepeatingReminder fresh;
    fresh.change_count_on_saves({1}, 2);
    Json params = fresh.request();
    params.merge_patch(Json::parse(c.change));
    std::string got = fresh.save(params);
    EXPECT_EQ(got.rfind("failure", 0), std::string::npos) << c.name << ": " << got;
    EXPECT_EQ(fresh.fetches(), 1) << c.name;
  }
}

}  // namespace
