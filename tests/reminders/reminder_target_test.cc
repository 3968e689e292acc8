#include <gtest/gtest.h>

#include "calendar/reminders/reminder_target.h"
#include "reminder_fixture.h"

namespace {

using bridge::reminders::find_target_reminder;
using reminders_test::Json;
using reminders_test::reminder_fields;
using reminders_test::RemindersFixture;

class ReminderTargetTest : public RemindersFixture {
 protected:
  ReminderTargetTest() {
    add("A/1", "zolt-task:t1");
    add("A/2", "zolt-task:t2");
    add("A/3", "zolt-task:twice");
    add("A/4", "zolt-task:twice");
    add("A/5", "zolt-task:a%20b");
    add("A/6", std::nullopt);
  }
  void add(const std::string& id, std::optional<std::string> url) {
    platform::ReminderFields fields = reminder_fields(id, list_a);
    if (url) fields.url = platform::Url{*url};
    fetched.emplace_back(fields, nullptr, false);
  }
  std::string target_of(const char* params) {
    auto result = find_target_reminder(bridge::reminders::read_reminder_request(Json::parse(params)), fetched);
    if (!result.ok()) return "failure: " + result.error().message;
    const platform::Reminder* target = result.value();
    return target ? target->calendar_item_identifier() : "none";
  }
  std::vector<platform::Reminder> fetched;
};

TEST_F(ReminderTargetTest, ByIdThenByTheOnlyReminderCarryingTheMarker) {
  const struct {
    const char* params;
    const char* target;
  } cases[] = {
      {R"({"id":"A/2"})", "A/2"},
      {R"({"id":"A/2","clientId":"t1"})", "A/2"},
      {R"({"id":"A/3","clientId":"twice"})", "A/3"},  // found by id: the duplicate markers do not matter
      {R"({"id":"gone","clientId":"t1"})", "A/1"},
      {R"({"id":"gone"})", "none"},
      {R"({"id":"a/2"})", "none"},
      {R"({"id":2,"clientId":"t2"})", "A/2"},
      {R"({"clientId":"t1"})", "A/1"},
      {R"({"clientId":"T1"})", "none"},
      {R"({"clientId":"t"})", "none"},
      {R"({"clientId":""})", "none"},
      {R"({"clientId":"a b"})", "A/5"},
      {R"({"clientId":1})", "none"},
      {R"({"clientId":"twice"})", "failure: 提醒事项已移动或删除，请重新同步。"},
      {R"({"id":"gone","clientId":"twice"})", "failure: 提醒事项已移动或删除，请重新同步。"},
      {R"({})", "none"},
      {R"([])", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(target_of(c.params), c.target) << c.params;
}

}  // namespace
