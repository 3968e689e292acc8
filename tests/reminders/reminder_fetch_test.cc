#include <gtest/gtest.h>

#include "calendar/reminders/reminder_fetch.h"
#include "reminder_fixture.h"

namespace {

using bridge::reminders::fetch_reminders;
using double_platform::FetchAnswer;
using reminders_test::reminder_fields;
using reminders_test::RemindersFixture;
using namespace std::chrono_literals;

class ReminderFetchTest : public RemindersFixture {
 protected:
  ReminderFetchTest() {
    platform.add_reminder(reminder_fields("A/1", list_a, "first"));
    platform.add_reminder(reminder_fields("A/2", list_a, "second"));
    platform.add_reminder(reminder_fields("B/1", list_b, "other list"));
    store = platform.open_event_store();
  }

  std::vector<std::string> fetched_ids(const std::vector<platform::CalendarRef>& lists) {
    auto result = fetch_reminders(platform, *store, lists);
    if (!result.ok()) return {"failure: " + result.error().message};
    std::vector<std::string> ids;
    for (const auto& reminder : result.value()) {
      ids.push_back(reminder.calendar_item_identifier());
    }
    return ids;
  }

  std::unique_ptr<platform::EventStore> store;
};

TEST_F(ReminderFetchTest, RemindersOfTheChosenListsInTheirOrder) {
  using Ids = std::vector<std::string>;
  EXPECT_EQ(fetched_ids({list_a}), (Ids{"A/1", "A/2"}));
  EXPECT_EQ(fetched_ids({list_a, list_b}), (Ids{"A/1", "A/2", "B/1"}));
  EXPECT_EQ(fetched_ids({read_only}), Ids{});
  EXPECT_EQ(fetched_ids({}), Ids{});
  EXPECT_EQ(platform.counters().fetch_cancels, 0);
}

TEST_F(ReminderFetchTest, ResolvedRemindersCarryTheirStoredValues) {
  auto result = fetch_reminders(platform, *store, {list_b});
  ASSERT_FALSE(!result.ok());
  const auto& reminders = result.value();
  ASSERT_EQ(reminders.size(), 1u);
  EXPECT_EQ(reminders[0].title(), "other list");
  EXPECT_EQ(reminders[0].calendar(), list_b);
}

TEST_F(ReminderFetchTest, EveryWayTheAnswerCanFail) {
  const struct {
    const char* name;
    FetchAnswer answer;
    std::chrono::milliseconds delay;
    const char* expected;
    int cancels;
    std::chrono::milliseconds elapsed;
  } cases[] = {
      {"an answer after a while", FetchAnswer::reminders, 1000ms, "A/1", 0, 1000ms},
      {"an answer just before the deadline", FetchAnswer::reminders, 29950ms, "A/1", 0, 29950ms},
      {"no array", FetchAnswer::no_array, 0ms, "failure: 读取提醒事项失败，未执行同步。", 0, 0ms},
      {"never answered", FetchAnswer::never, 0ms, "failure: 提醒事项请求超时", 1, 30000ms},
      {"answered after the deadline", FetchAnswer::reminders, 30050ms, "failure: 提醒事项请求超时", 1, 30000ms},
      {"callback dropped", FetchAnswer::drop, 0ms, "failure: 提醒事项请求中断", 1, 0ms},
  };
  for (const auto& c : cases) {
    double_platform::PlatformDouble fresh;
    fresh.add_calendar(platform::EntityType::reminder, *list_a);
    fresh.add_reminder(reminder_fields("A/1", list_a));
    fresh.set_fetch_answer(c.answer);
    fresh.set_fetch_answer_delay(c.delay);
    auto fresh_store = fresh.open_event_store();
    auto result = fetch_reminders(fresh, *fresh_store, {list_a});
    std::string got = !result.ok() ? "failure: " + result.error().message
                                     : result.value().at(0).calendar_item_identifier();
    EXPECT_EQ(got, c.expected) << c.name;
    EXPECT_EQ(fresh.counters().fetch_cancels, c.cancels) << c.name;
    EXPECT_EQ(fresh.fake_elapsed(), c.elapsed) << c.name;
  }
}

TEST_F(ReminderFetchTest, WaitsInSlicesOfFiftyMilliseconds) {
  platform.set_fetch_answer(FetchAnswer::never);
  auto result = fetch_reminders(platform, *store, {list_a});
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(platform.counters().longest_run_loop_slice, std::chrono::milliseconds(50));
  EXPECT_EQ(platform.fake_elapsed(), std::chrono::seconds(30));
}

TEST_F(ReminderFetchTest, AReminderGoneBeforeItIsResolvedFailsTheWholeFetch) {
  platform.set_after_fetch_answer([&] { platform.remove_stored_reminder("A/2"); });
  auto result = fetch_reminders(platform, *store, {list_a});
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(result.error().message, "提醒事项读取期间发生变化，请重试。");
}

TEST_F(ReminderFetchTest, AnIdentifierThatNowNamesAnEventFailsTheWholeFetch) {
  platform.set_after_fetch_answer([&] {
    platform.remove_stored_reminder("A/1");
    platform::Event event;
    event.calendar_item_identifier = "A/1";
    platform.add_event(event);
  });
  auto result = fetch_reminders(platform, *store, {list_a});
  ASSERT_TRUE(!result.ok());
  EXPECT_EQ(result.error().message, "提醒事项读取期间发生变化，请重试。");
}

}  // namespace
