#include <gtest/gtest.h>

#include <chrono>

#include "calendar/access/access.h"
#include "double/platform_double.h"

namespace {

using namespace std::chrono_literals;
using double_platform::AccessAnswer;
using double_platform::PlatformDouble;
using platform::AuthorizationStatus;
using platform::EntityType;

constexpr const char* kEventTimeout = "等待 Apple 日历授权超时";
constexpr const char* kEventInterrupted = "Apple 日历授权已中断";
constexpr const char* kEventRefused =
    "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。";
constexpr const char* kReminderTimeout = "提醒事项请求超时";
constexpr const char* kReminderInterrupted = "提醒事项请求中断";
constexpr const char* kReminderRefused = "请在系统设置 → 隐私与安全性 → 提醒事项中允许 Zolt Calendar。";

// The failure message of an access request; nothing when it was granted.
std::optional<std::string> message_of(const bridge::Expected<bridge::Done>& result) {
  if (!result.ok()) return result.error().message;
  return std::nullopt;
}

std::optional<std::string> request(PlatformDouble& p, EntityType type) {
  auto store = p.open_event_store();
  return message_of(bridge::request_access(p, *store, type));
}

struct AnswerCase {
  const char* name;
  EntityType type;
  AccessAnswer answer;
  std::optional<std::string> message;  // nothing: granted
  std::chrono::seconds fake_wait;
  std::chrono::milliseconds slice;  // the wait's pacing; 0: no wait at all
};

class AccessAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(AccessAnswers, EndWithTheKindsResult) {
  const AnswerCase& c = GetParam();
  PlatformDouble p;
  p.set_access_answer(c.answer, "用户在对话框中拒绝了");

  EXPECT_EQ(request(p, c.type), c.message);
  EXPECT_EQ(p.fake_elapsed(), c.fake_wait);
  EXPECT_EQ(p.counters().longest_run_loop_slice, c.slice);
  EXPECT_EQ(p.counters().run_loop_slices == 0, c.slice == 0ms);
  EXPECT_EQ(p.counters().full_access_requests, 1);
  EXPECT_EQ(p.counters().legacy_access_requests, 0);
}

// An answer given during the request is taken before any run-loop slice; an answer
// that never comes ends the wait after exactly 180 s of fake time.
INSTANTIATE_TEST_SUITE_P(
    EveryAnswerBothKinds, AccessAnswers,
    testing::Values(
        AnswerCase{"EventGrant", EntityType::event, AccessAnswer::grant, std::nullopt, 0s, 0ms},
        AnswerCase{"EventGrantWithError", EntityType::event, AccessAnswer::grant_with_error, std::nullopt, 0s, 0ms},
        AnswerCase{"EventRefuse", EntityType::event, AccessAnswer::refuse, kEventRefused, 0s, 0ms},
        AnswerCase{"EventRefuseWithError", EntityType::event, AccessAnswer::refuse_with_error, "用户在对话框中拒绝了",
                   0s, 0ms},
        AnswerCase{"EventNever", EntityType::event, AccessAnswer::never, kEventTimeout, 180s, 200ms},
        AnswerCase{"EventDrop", EntityType::event, AccessAnswer::drop, kEventInterrupted, 0s, 0ms},
        AnswerCase{"ReminderGrant", EntityType::reminder, AccessAnswer::grant, std::nullopt, 0s, 0ms},
        AnswerCase{"ReminderGrantWithError", EntityType::reminder, AccessAnswer::grant_with_error, std::nullopt, 0s,
                   0ms},
        AnswerCase{"ReminderRefuse", EntityType::reminder, AccessAnswer::refuse, kReminderRefused, 0s, 0ms},
        AnswerCase{"ReminderRefuseWithError", EntityType::reminder, AccessAnswer::refuse_with_error,
                   "用户在对话框中拒绝了", 0s, 0ms},
        AnswerCase{"ReminderNever", EntityType::reminder, AccessAnswer::never, kReminderTimeout, 180s, 50ms},
        AnswerCase{"ReminderDrop", EntityType::reminder, AccessAnswer::drop, kReminderInterrupted, 0s, 0ms}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

struct DelayCase {
  EntityType type;
  std::chrono::milliseconds delay;
  std::optional<std::string> message;
  std::chrono::milliseconds fake_wait;
  std::chrono::milliseconds slice;
};

class DelayedAnswers : public testing::TestWithParam<DelayCase> {};

TEST_P(DelayedAnswers, ArePolledSliceBySliceUntilTheDeadline) {
  const DelayCase& c = GetParam();
  PlatformDouble p;
  p.set_access_answer_delay(c.delay);

  EXPECT_EQ(request(p, c.type), c.message);
  EXPECT_EQ(p.fake_elapsed(), c.fake_wait);
  EXPECT_EQ(p.counters().longest_run_loop_slice, c.slice);
}

INSTANTIATE_TEST_SUITE_P(
    Pacing, DelayedAnswers,
    testing::Values(DelayCase{EntityType::event, 1000ms, std::nullopt, 1000ms, 200ms},
                    DelayCase{EntityType::reminder, 1000ms, std::nullopt, 1000ms, 50ms},
                    // Arriving during the last slice before the deadline still counts.
                    DelayCase{EntityType::event, 180000ms, std::nullopt, 180000ms, 200ms},
                    DelayCase{EntityType::reminder, 180000ms, std::nullopt, 180000ms, 50ms},
                    DelayCase{EntityType::event, 180001ms, kEventTimeout, 180000ms, 200ms},
                    DelayCase{EntityType::reminder, 180001ms, kReminderTimeout, 180000ms, 50ms}));

TEST(AccessRequest, UsesTheLegacyRequestWhenFullAccessIsUnknown) {
  for (EntityType type : {EntityType::event, EntityType::reminder}) {
    PlatformDouble p;
    p.set_supports_full_access(false);
    p.set_access_answer(AccessAnswer::refuse_with_error, "旧系统拒绝");
    EXPECT_EQ(request(p, type), "旧系统拒绝");
    EXPECT_EQ(p.counters().legacy_access_requests, 1);
    EXPECT_EQ(p.counters().full_access_requests, 0);
  }
}

TEST(AccessRequest, AnswerAfterTheWaitGaveUpIsDropped) {
  PlatformDouble p;
  p.set_access_answer(AccessAnswer::never);
  EXPECT_EQ(request(p, EntityType::event), kEventTimeout);
  EXPECT_EQ(p.fake_elapsed(), 180s);
  // The platform still holds the callback and calls it now, from another thread.
  p.deliver_held_access_answer(true);
  p.deliver_held_access_answer(false);
  EXPECT_EQ(p.fake_elapsed(), 180s);
}

TEST(AccessRequest, DelayedAnswerArrivingAfterTheTimeoutIsDropped) {
  PlatformDouble p;
  p.set_access_answer_delay(200s);
  auto store = p.open_event_store();
  EXPECT_EQ(message_of(bridge::request_access(p, *store, EntityType::reminder)), kReminderTimeout);
  // The answer comes due on a later turn of the run loop and finds nobody waiting.
  p.run_main_loop_until(platform::Date{p.now().seconds_since_1970 + 30});
  EXPECT_EQ(p.fake_elapsed(), 210s);
}

// runUntilDate: returns at once when nothing is attached to the run loop. Each
// slice still lasts its time: an unanswered request polls 180 s / slice times
// instead of spinning a core for three minutes.
TEST(AccessRequest, ARunLoopThatReturnsAtOnceStillWaitsSliceBySlice) {
  const struct {
    EntityType type;
    const char* message;
    int polls;
  } cases[] = {
      {EntityType::event, kEventTimeout, 900},
      {EntityType::reminder, kReminderTimeout, 3600},
  };
  for (const auto& c : cases) {
    PlatformDouble p;
    p.set_access_answer(AccessAnswer::never);
    p.set_run_loop_returns_at_once(true);
    EXPECT_EQ(request(p, c.type), c.message);
    EXPECT_EQ(p.counters().run_loop_slices, c.polls);
    EXPECT_EQ(p.counters().sleeps, c.polls);
    EXPECT_EQ(p.fake_elapsed(), 180s);
  }
}

TEST(AccessRequest, EveryRequestAsksAgainEvenWhenGranted) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
  auto store = p.open_event_store();
  EXPECT_EQ(message_of(bridge::request_access(p, *store, EntityType::event)), std::nullopt);
  EXPECT_EQ(message_of(bridge::request_access(p, *store, EntityType::event)), std::nullopt);
  EXPECT_EQ(p.counters().full_access_requests, 2);
}

}  // namespace
