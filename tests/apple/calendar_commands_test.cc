#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calendar/apple/calendar_list.h"
#include "double/platform_double.h"
#include "support/reply_json.h"

namespace {

using bridge::Json;
using double_platform::AccessAnswer;
using double_platform::PlatformDouble;
using platform::Calendar;
using platform::AuthorizationStatus;
using platform::EntityType;

constexpr const char* kGateMessage = "还没有 Apple 日历权限";
constexpr const char* kDenialMessage =
    "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。";

Calendar calendar(std::string id, std::string title, std::optional<std::string> source = std::nullopt) {
  Calendar c;
  c.identifier = std::move(id);
  c.title = std::move(title);
  if (source) c.source = platform::Source{*source};
  return c;
}

TEST(CalendarsCommand, ClosedGateFailsWithoutOpeningAStore) {
  for (int status : {0, 1, 2, 4}) {
    PlatformDouble p;
    p.set_status(EntityType::event, AuthorizationStatus{status});
    p.add_calendar(EntityType::event, calendar("c", "Work"));
    bridge::CommandOutcome outcome = bridge::run_calendars_command(p, Json::object());
    ASSERT_FALSE(outcome.is_reply()) << status;
    EXPECT_EQ(outcome.message(), kGateMessage) << status;
    EXPECT_EQ(p.counters().stores_opened, 0) << status;
    EXPECT_EQ(p.counters().full_access_requests + p.counters().legacy_access_requests, 0) << status;
  }
}

TEST(CalendarsCommand, OpenGateRepliesWithTheSortedArrayAndReleasesTheStore) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
  p.add_calendar(EntityType::event, calendar("w", "Work", "iCloud"));
  p.add_calendar(EntityType::event, calendar("a", "Archive"));
  bridge::CommandOutcome outcome = bridge::run_calendars_command(p, Json::array());
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  EXPECT_EQ(reply_json(outcome).dump(),
            R"([{"color":null,"id":"a","primary":false,"source":null,"timeZone":null,"title":"Archive","writable":false},)"
            R"({"color":null,"id":"w","primary":false,"source":"iCloud","timeZone":null,"title":"Work","writable":false}])");
  EXPECT_EQ(p.counters().stores_opened, 1);
  EXPECT_EQ(p.counters().stores_alive, 0);
  EXPECT_EQ(p.counters().full_access_requests + p.counters().legacy_access_requests, 0);
}

TEST(CalendarsCommand, EmptyDatabaseRepliesWithAnEmptyArray) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
  bridge::CommandOutcome outcome = bridge::run_calendars_command(p, Json::object());
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  EXPECT_EQ(reply_json(outcome).dump(), "[]");
}

struct LabelCase {
  const char* name;
  std::vector<Calendar> calendars;
  const char* expected_account;
};

TEST(ConnectCommand, AccountLabelJoinsDistinctSourcesInListOrder) {
  const LabelCase cases[] = {
      {"no calendars", {}, "本机日历"},
      {"no sources", {calendar("1", "A"), calendar("2", "B")}, "本机日历"},
      {"A, B, A and one without",
       {calendar("1", "a1", "A"), calendar("2", "b1", "B"), calendar("3", "a2", "A"), calendar("4", "c")},
       "A、B"},
      // The label follows the sorted list, not the store's order.
      {"sorted order", {calendar("1", "Zed", "First in store"), calendar("2", "Alpha", "Second in store")},
       "Second in store、First in store"},
      {"byte-wise distinct", {calendar("1", "a", "icloud"), calendar("2", "b", "iCloud")}, "icloud、iCloud"},
      {"empty source title counts", {calendar("1", "a", ""), calendar("2", "b", "X")}, "、X"},
  };
  for (const LabelCase& c : cases) {
    PlatformDouble p;
    p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
    for (const Calendar& cal : c.calendars) p.add_calendar(EntityType::event, cal);
    bridge::CommandOutcome outcome = bridge::run_connect_command(p, Json::object());
    ASSERT_TRUE(outcome.is_reply()) << c.name << ": " << outcome.message();
    EXPECT_EQ(reply_json(outcome).at("account"), c.expected_account) << c.name;
    EXPECT_EQ(reply_json(outcome).at("calendars").size(), c.calendars.size()) << c.name;
  }
}

TEST(ConnectCommand, NoCalendarsRepliesWithTheLocalLabel) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
  bridge::CommandOutcome outcome = bridge::run_connect_command(p, Json::object());
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  EXPECT_EQ(reply_json(outcome).dump(), R"({"account":"本机日历","calendars":[]})");
}

struct AnswerCase {
  const char* name;
  int status;
  AccessAnswer answer;
  std::string error_text;
  std::optional<std::string> expected_failure;  // nothing: a reply
};

TEST(ConnectCommand, AsksOnEveryCallAndReportsTheAnswer) {
  const AnswerCase cases[] = {
      {"already granted still asks", 3, AccessAnswer::grant, "", std::nullopt},
      {"granted at the prompt", 0, AccessAnswer::grant, "", std::nullopt},
      {"granted with an error", 0, AccessAnswer::grant_with_error, "ignored", std::nullopt},
      {"refused", 0, AccessAnswer::refuse, "", kDenialMessage},
      {"refused with an error", 0, AccessAnswer::refuse_with_error, "The operation couldn’t be completed.",
       "The operation couldn’t be completed."},
      {"interrupted", 0, AccessAnswer::drop, "", "Apple 日历授权已中断"},
      {"never answered", 0, AccessAnswer::never, "", "等待 Apple 日历授权超时"},
  };
  for (const AnswerCase& c : cases) {
    PlatformDouble p;
    p.set_status(EntityType::event, AuthorizationStatus{c.status});
    p.set_access_answer(c.answer, c.error_text);
    p.add_calendar(EntityType::event, calendar("c", "Home", "Local"));
    bridge::CommandOutcome outcome = bridge::run_connect_command(p, Json::object());
    EXPECT_EQ(p.counters().full_access_requests, 1) << c.name;
    EXPECT_EQ(p.counters().stores_opened, 1) << c.name;
    EXPECT_EQ(p.counters().stores_alive, 0) << c.name;
    // Only a grant resets the store, which before it may list no calendars.
    EXPECT_EQ(p.counters().resets, c.expected_failure ? 0 : 1) << c.name;
    if (c.expected_failure) {
      ASSERT_FALSE(outcome.is_reply()) << c.name;
      EXPECT_EQ(outcome.message(), *c.expected_failure) << c.name;
    } else {
      ASSERT_TRUE(outcome.is_reply()) << c.name << ": " << outcome.message();
      EXPECT_EQ(reply_json(outcome).dump(),
                R"({"account":"Local","calendars":[{"color":null,"id":"c","primary":false,"source":"Local",)"
                R"("timeZone":null,"title":"Home","writable":false}]})")
          << c.name;
    }
  }
}

}  // namespace
