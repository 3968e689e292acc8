#include <gtest/gtest.h>

#include "calendar/reminders/reminder_commands.h"
#include "reminder_fixture.h"

namespace {

using double_platform::AccessAnswer;
using double_platform::FetchAnswer;
using reminders_test::AuthorizationStatus;
using reminders_test::EntityType;
using reminders_test::Json;
using reminders_test::outcome_text;
using reminders_test::reminder_fields;

constexpr const char* kNoPermission = "failure: 没有 Apple 提醒事项权限，请在系统设置中允许访问。";
constexpr const char* kLists =
    R"({"lists":[{"id":"A","source":"iCloud","title":"Inbox","writable":true},)"
    R"({"id":"B","source":null,"title":"Work","writable":true},)"
    R"({"id":"RO","source":null,"title":"Shared","writable":false}]})";

// Three stored reminders, one in each list; A/1 carries the marker of task t1.
struct StoredReminders : reminders_test::ReminderLists {
  StoredReminders() {
    platform::ReminderFields first = reminder_fields("A/1", list_a, "first");
    first.url = platform::Url{"zolt-task:t1"};
    platform.add_reminder(first);
    platform.add_reminder(reminder_fields("B/1", list_b, "second"));
    platform.add_reminder(reminder_fields("RO/1", read_only, "shared"));
  }
  std::string run(std::string_view sub_command, const char* params = "{}") {
    return outcome_text(bridge::run_reminders_command(platform, sub_command, Json::parse(params)));
  }
};

class ReminderCommandsTest : public ::testing::Test, public StoredReminders {};

TEST_F(ReminderCommandsTest, StatusForEveryAuthorizationWithoutAStore) {
  const char* replies[] = {
      R"({"authorized":false,"available":true,"capabilities":{"recurrence":true,"smartLists":false,"subtasks":false,"tags":false},"denied":false})",
      R"({"authorized":false,"available":true,"capabilities":{"recurrence":true,"smartLists":false,"subtasks":false,"tags":false},"denied":true})",
      R"({"authorized":false,"available":true,"capabilities":{"recurrence":true,"smartLists":false,"subtasks":false,"tags":false},"denied":true})",
      R"({"authorized":true,"available":true,"capabilities":{"recurrence":true,"smartLists":false,"subtasks":false,"tags":false},"denied":false})",
      R"({"authorized":false,"available":true,"capabilities":{"recurrence":true,"smartLists":false,"subtasks":false,"tags":false},"denied":false})",
  };
  for (int status = 0; status <= 4; ++status) {
    platform.set_status(EntityType::reminder, AuthorizationStatus{status});
    platform.set_status(EntityType::event, AuthorizationStatus{3 - status % 4});  // the event permission plays no part
    EXPECT_EQ(run("status"), replies[status]) << status;
  }
  EXPECT_EQ(platform.counters().stores_opened, 0);
}

TEST_F(ReminderCommandsTest, UnsupportedFeaturesAreRefusedBeforeThePermissionGate) {
  platform.set_status(EntityType::reminder, AuthorizationStatus::notDetermined);
  for (const char* params : {R"({"parentId":"p"})", R"({"tags":null})", R"({"smartListId":1,"tags":[]})"}) {
    EXPECT_EQ(run("save", params), "failure: Apple 公开接口不支持原生子任务、标签或智能清单写入") << params;
  }
  EXPECT_EQ(platform.counters().stores_opened, 0);
  EXPECT_EQ(run("delete", R"({"parentId":"p"})"), kNoPermission);
}

TEST_F(ReminderCommandsTest, ConnectListsEveryListAndAsksOnlyWithoutFullAccess) {
  EXPECT_EQ(run("connect", R"({"listIds":["nothing"]})"), kLists);
  EXPECT_EQ(platform.counters().full_access_requests, 0);
  EXPECT_EQ(platform.counters().resets, 0);

  const struct {
    int status;
    AccessAnswer answer;
    bool grant_updates_status;
    const char* expected;
  } cases[] = {
      {0, AccessAnswer::grant, true, kLists},
      {4, AccessAnswer::grant, true, kLists},
      {2, AccessAnswer::grant, false, kNoPermission},  // granted, yet the status stays closed
      {0, AccessAnswer::refuse, true, "failure: 请在系统设置 → 隐私与安全性 → 提醒事项中允许 Zolt Calendar。"},
      {0, AccessAnswer::refuse_with_error, true, "failure: 用户拒绝"},
      {0, AccessAnswer::never, true, "failure: 提醒事项请求超时"},
      {0, AccessAnswer::drop, true, "failure: 提醒事项请求中断"},
  };
  for (const auto& c : cases) {
    StoredReminders fresh;
    fresh.platform.set_status(EntityType::reminder, AuthorizationStatus{c.status});
    fresh.platform.set_access_answer(c.answer, "用户拒绝");
    fresh.platform.set_grant_updates_status(c.grant_updates_status);
    EXPECT_EQ(fresh.run("connect"), c.expected) << c.status << " " << static_cast<int>(c.answer);
    EXPECT_EQ(fresh.platform.counters().full_access_requests, 1);
    // A grant resets the store, which before it may list no lists.
    EXPECT_EQ(fresh.platform.counters().resets, c.answer == AccessAnswer::grant ? 1 : 0);
  }
}

TEST_F(ReminderCommandsTest, ThePermissionGateComesBeforeTheSubCommandIsKnown) {
  for (int status : {0, 1, 2, 4}) {
    platform.set_status(EntityType::reminder, AuthorizationStatus{status});
    for (const char* sub_command : {"read", "save", "delete", "foo", "", "Status"}) {
      EXPECT_EQ(run(sub_command, R"({"listIds":["A"]})"), kNoPermission) << sub_command << " " << status;
    }
  }
  EXPECT_EQ(platform.counters().fetches, 0);
  EXPECT_EQ(platform.counters().full_access_requests, 0);
}

TEST_F(ReminderCommandsTest, ListIdsRules) {
  const char* unavailable = "failure: 所选提醒事项列表已不可用，请重新选择同步列表。";
  const char* choose = "failure: 请选择提醒事项列表。";
  const struct {
    const char* params;
    const char* expected;
  } cases[] = {
      {R"({})", choose},
      {R"({"listIds":null})", choose},
      {R"({"listIds":"A"})", choose},
      {R"({"listIds":[]})", choose},
      {R"({"listIds":[1]})", choose},
      {R"({"listIds":["A",1]})", choose},
      {R"({"listIds":["A","A"]})", unavailable},
      {R"({"listIds":["C"]})", unavailable},
      {R"({"listIds":["A","C"]})", unavailable},
      {R"({"listIds":["a"]})", unavailable},
      {R"(["A"])", choose},
  };
  for (const char* sub_command : {"read", "delete", "foo"}) {
    for (const auto& c : cases) EXPECT_EQ(run(sub_command, c.params), c.expected) << sub_command << c.params;
  }
  EXPECT_EQ(platform.counters().fetches, 0);
}

TEST_F(ReminderCommandsTest, ReadCoversEveryListWhateverListIdsNames) {
  Json reply = Json::parse(run("read", R"({"listIds":["B"]})"));
  ASSERT_TRUE(reply.is_array());
  std::vector<std::string> ids;
  for (const Json& record : reply) ids.push_back(record["id"]);
  EXPECT_EQ(ids, (std::vector<std::string>{"A/1", "B/1", "RO/1"}));
  EXPECT_EQ(reply[0].dump(),
            R"({"clientId":"t1","completed":false,"due":null,"externalId":null,"id":"A/1","listId":"A","notes":"",)"
            R"("priority":0,"recurrenceRules":[],"remindAt":null,"title":"first"})");
  // Written after a reminder with a marker, the next shows none of it.
  EXPECT_EQ(reply[1].dump(),
            R"({"clientId":null,"completed":false,"due":null,"externalId":null,"id":"B/1","listId":"B","notes":"",)"
            R"("priority":0,"recurrenceRules":[],"remindAt":null,"title":"second"})");
}

TEST_F(ReminderCommandsTest, UnknownSubCommandsAreRejectedAfterTheFetchAndTheLookup) {
  for (const char* sub_command : {"foo", "", "Status", "reminders-read"}) {
    EXPECT_EQ(run(sub_command, R"({"listIds":["A"]})"), "failure: 未知的提醒事项操作") << sub_command;
  }
  EXPECT_EQ(platform.counters().fetches, 4);

  platform::ReminderFields twin = reminder_fields("A/2", list_a);
  twin.url = platform::Url{"zolt-task:t1"};
  platform.add_reminder(twin);
  EXPECT_EQ(run("foo", R"({"listIds":["A"],"clientId":"t1"})"), "failure: 提醒事项已移动或删除，请重新同步。");
}

TEST_F(ReminderCommandsTest, DeleteRemovesTheTargetAndToleratesAMissingOne) {
  EXPECT_EQ(run("delete", R"({"listIds":["A"],"clientId":"t1"})"), "null");
  EXPECT_FALSE(platform.stored_reminder("A/1").has_value());
  EXPECT_EQ(run("delete", R"({"listIds":["A"],"id":"A/1"})"), "null");
  EXPECT_EQ(run("delete", R"({"listIds":["A"],"id":"B/1"})"), "null");  // outside the selected lists: not found
  EXPECT_TRUE(platform.stored_reminder("B/1").has_value());
  EXPECT_EQ(platform.counters().removes, 1);

  platform.set_remove_error("无法删除");
  EXPECT_EQ(run("delete", R"({"listIds":["B"],"id":"B/1"})"), "failure: 无法删除");
}

// The calendar database answers NO without an error for a reminder it no longer
// holds (deleted elsewhere after the fetch): it is gone, as asked.
TEST_F(ReminderCommandsTest, ARemovalAnsweredNoWithoutAnErrorIsDone) {
  platform.set_remove_answers_no_without_error(true);
  EXPECT_EQ(run("delete", R"({"listIds":["B"],"id":"B/1"})"), "null");
  EXPECT_EQ(platform.counters().removes, 1);
}

// A second process saving the same new task must wait for this one's lookup and
// save, or both would create a reminder with the task's marker.
TEST_F(ReminderCommandsTest, WritesHoldTheWriteLockFromTheLookupToTheEndOfTheSave) {
  const struct {
    const char* sub_command;
    const char* params;
    const char* reply_start;
    int saves;
    int removes;
  } cases[] = {
      {"save", R"({"listIds":["A"],"listId":"A","clientId":"t9","title":"new"})", R"({"clientId":"t9")", 1, 0},
      {"save", R"({"listIds":["A"],"listId":"A","clientId":"t1","title":"again"})", R"({"clientId":"t1")", 1, 0},
      {"save", R"({"listIds":["A"],"listId":"A","title":" "})", "failure: 任务标题不能为空", 0, 0},
      {"delete", R"({"listIds":["B"],"id":"B/1"})", "null", 0, 1},
  };
  for (const auto& c : cases) {
    double_platform::Counters before = platform.counters();
    EXPECT_EQ(run(c.sub_command, c.params).rfind(c.reply_start, 0), 0u) << c.params;
    const double_platform::Counters& after = platform.counters();
    EXPECT_EQ(after.write_locks_taken - before.write_locks_taken, 1) << c.params;
    EXPECT_EQ(after.fetches_under_write_lock - before.fetches_under_write_lock, 1) << c.params;
    EXPECT_EQ(after.saves_under_write_lock - before.saves_under_write_lock, c.saves) << c.params;
    EXPECT_EQ(after.removes_under_write_lock - before.removes_under_write_lock, c.removes) << c.params;
    EXPECT_FALSE(platform.write_lock_held()) << c.params;
  }
  EXPECT_EQ(platform.counters().saves, 2);
  EXPECT_EQ(platform.counters().removes, 1);

  // Only writes wait for other writers.
  for (const char* sub_command : {"read", "connect", "status", "foo"}) run(sub_command, R"({"listIds":["A"]})");
  EXPECT_EQ(platform.counters().write_locks_taken, 4);
}

TEST_F(ReminderCommandsTest, AWriteWithoutTheWriteLockFailsAndChangesNothing) {
  platform.set_write_lock_unavailable(true);
  struct {
    const char* sub_command;
    const char* params;
  } cases[] = {
      {"save", R"({"listIds":["A"],"listId":"A","clientId":"t9","title":"new"})"},
      {"save", R"({"listIds":["A"],"listId":"A","clientId":"t1","title":"again"})"},
      {"delete", R"({"listIds":["A"],"clientId":"t1"})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.sub_command, c.params), "failure: 无法取得提醒事项的写入锁，请稍后重试。") << c.params;
  }
  EXPECT_EQ(platform.counters().write_locks_taken, 3);
  EXPECT_EQ(platform.counters().fetches, 0);
  EXPECT_EQ(platform.counters().saves, 0);
  EXPECT_EQ(platform.counters().removes, 0);
  EXPECT_EQ(platform.stored_reminders().size(), 3u);
  // Reads take no lock and go on.
  EXPECT_EQ(run("read", R"({"listIds":["A"]})").rfind("[{", 0), 0u);
}

TEST_F(ReminderCommandsTest, AFailedFetchEndsEveryReadingSubCommand) {
  platform.set_fetch_answer(FetchAnswer::no_array);
  for (const char* sub_command : {"read", "save", "delete", "foo"}) {
    EXPECT_EQ(run(sub_command, R"({"listIds":["A"],"listId":"A","title":"t"})"),
              "failure: 读取提醒事项失败，未执行同步。")
        << sub_command;
  }
  EXPECT_EQ(platform.counters().saves, 0);
  EXPECT_EQ(platform.counters().stores_alive, 0);
}

}  // namespace
