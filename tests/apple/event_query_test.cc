#include "calendar/apple/event_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "double/platform_double.h"
#include "support/reply_json.h"

namespace {

using bridge::Json;
using double_platform::PlatformDouble;
using platform::Date;
using platform::AuthorizationStatus;
using platform::EntityType;
using platform::Event;

constexpr const char* kGateMessage = "还没有 Apple 日历权限";
constexpr double kMarch9 = 1741478400;  // 2025-03-09T00:00:00Z
constexpr const char* kWindowStart = "2025-03-09T00:00:00Z";
constexpr const char* kWindowEnd = "2025-03-10T00:00:00Z";

class EventQueryTest : public ::testing::Test {
 protected:
  EventQueryTest() {
    p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
    work = p.add_calendar(EntityType::event, platform::Calendar{"work", "Work", {}, std::nullopt, true});
    home = p.add_calendar(EntityType::event, platform::Calendar{"home", "Home", {}, std::nullopt, true});
    p.add_calendar(EntityType::reminder, platform::Calendar{"inbox", "Inbox", {}, std::nullopt, true});
  }

  void add_event(std::string id, const platform::CalendarRef& calendar, double start, bool repeating = false) {
    Event e;
    e.event_identifier = id;
    e.calendar_item_identifier = id;
    e.title = id;
    e.start_date = Date{start};
    e.end_date = Date{start + 3600};
    e.calendar = calendar;
    e.has_recurrence_rules = repeating;
    p.add_event(e);
  }

  bridge::CommandOutcome query(const Json& request) { return bridge::query_events(p, request); }

  static Json window(Json ids) { return {{"start", kWindowStart}, {"end", kWindowEnd}, {"calendarIds", ids}}; }

  PlatformDouble p;
  platform::CalendarRef work, home;
};

TEST_F(EventQueryTest, NoStringIdsRepliesEmptyWithoutGateOrStore) {
  p.set_status(EntityType::event, AuthorizationStatus::notDetermined);
  const Json requests[] = {
      Json::object(),
      Json::array({"work"}),  // not an object: every lookup finds nothing
      Json("work"),
      {{"calendarIds", Json::array()}},
      {{"calendarIds", "work"}},
      {{"calendarIds", {{"work", true}}}},
      {{"calendarIds", {1, nullptr, true, Json::array({"work"})}}, {"start", "bad"}},
  };
  for (const Json& request : requests) {
    bridge::CommandOutcome outcome = query(request);
    ASSERT_TRUE(outcome.is_reply()) << request.dump();
    EXPECT_EQ(reply_json(outcome).dump(), "[]") << request.dump();
  }
  EXPECT_EQ(p.counters().status_reads, 0);
  EXPECT_EQ(p.counters().stores_opened, 0);
}

TEST_F(EventQueryTest, ClosedGateFailsBeforeAnyStore) {
  for (int status : {0, 1, 2, 4}) {
    p.set_status(EntityType::event, AuthorizationStatus{status});
    bridge::CommandOutcome outcome = query(window({"work"}));
    ASSERT_FALSE(outcome.is_reply()) << status;
    EXPECT_EQ(outcome.message(), kGateMessage) << status;
  }
  EXPECT_EQ(p.counters().stores_opened, 0);
}

TEST_F(EventQueryTest, NoSelectedCalendarRepliesEmptyWithoutReadingDates) {
  add_event("e", work, kMarch9 + 3600);
  const Json requests[] = {
      {{"calendarIds", {"inbox"}}, {"start", "not a date"}},  // a reminders list is no event calendar
      {{"calendarIds", {"nope"}}, {"start", "2025-03-09"}},
      {{"calendarIds", {"WORK"}}},                           // ids compare byte for byte
  };
  for (const Json& request : requests) {
    bridge::CommandOutcome outcome = query(request);
    ASSERT_TRUE(outcome.is_reply()) << request.dump() << ": " << outcome.message();
    EXPECT_EQ(reply_json(outcome).dump(), "[]") << request.dump();
  }
  EXPECT_EQ(p.counters().stores_alive, 0);
}

struct DateFailureCase {
  const char* name;
  Json request;
  const char* expected;
};

TEST_F(EventQueryTest, UnreadableWindowNamesStartBeforeEnd) {
  const DateFailureCase cases[] = {
      {"date alone", {{"calendarIds", {"work"}}, {"start", "2025-03-09"}, {"end", kWindowEnd}},
       "无法解析日期 2025-03-09"},
      {"no end", {{"calendarIds", {"work"}}, {"start", kWindowStart}}, "无法解析日期 "},
      {"start not a string", {{"calendarIds", {"work"}}, {"start", 1741478400}, {"end", kWindowEnd}},
       "无法解析日期 "},
      {"end not a string", {{"calendarIds", {"work"}}, {"start", kWindowStart}, {"end", nullptr}}, "无法解析日期 "},
      {"both bad", {{"calendarIds", {"work"}}, {"start", "x"}, {"end", "y"}}, "无法解析日期 x"},
      {"end bad", {{"calendarIds", {"work"}}, {"start", kWindowStart}, {"end", "2025-03-10T00:00"}},
       "无法解析日期 2025-03-10T00:00"},
  };
  for (const DateFailureCase& c : cases) {
    bridge::CommandOutcome outcome = query(c.request);
    ASSERT_FALSE(outcome.is_reply()) << c.name;
    EXPECT_EQ(outcome.message(), c.expected) << c.name;
  }
  EXPECT_EQ(p.counters().stores_alive, 0);
}

TEST_F(EventQueryTest, AcceptsSpaceAndLowerCaseSeparators) {
  add_event("e", work, kMarch9 + 3600);
  const Json requests[] = {
      {{"calendarIds", {"work"}}, {"start", "2025-03-09 00:00:00Z"}, {"end", kWindowEnd}},
      {{"calendarIds", {"work"}}, {"start", "2025-03-09t00:00:00.000000000+00:00"}, {"end", kWindowEnd}},
  };
  for (const Json& request : requests) {
    bridge::CommandOutcome outcome = query(request);
    ASSERT_TRUE(outcome.is_reply()) << outcome.message();
    EXPECT_EQ(reply_json(outcome).size(), 1u);
  }
}

TEST_F(EventQueryTest, RepeatedIdsSelectACalendarOnceAndSkipNonStrings) {
  add_event("w1", work, kMarch9 + 3600);
  add_event("h1", home, kMarch9 + 7200);
  add_event("outside", work, kMarch9 + 86400 * 2);
  bridge::CommandOutcome outcome = query(window({"work", 7, "work", nullptr, "missing"}));
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  ASSERT_EQ(reply_json(outcome).size(), 1u);
  EXPECT_EQ(reply_json(outcome)[0].at("eventId"), "w1");
  EXPECT_EQ(p.counters().stores_opened, 1);
  EXPECT_EQ(p.counters().stores_alive, 0);
}

TEST_F(EventQueryTest, OccurrencesOfARepeatingEventShareTheirEventId) {
  add_event("weekly", work, kMarch9 + 3600, true);
  add_event("weekly", work, kMarch9 + 7 * 86400 + 3600, true);
  bridge::CommandOutcome outcome =
      query({{"calendarIds", {"work"}}, {"start", kWindowStart}, {"end", "2025-03-31T00:00:00Z"}});
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  const Json& reply = reply_json(outcome);
  ASSERT_EQ(reply.size(), 2u);
  EXPECT_EQ(reply[0].at("eventId"), reply[1].at("eventId"));
  EXPECT_EQ(reply[0].at("id"), "apple:weekly:2025-03-09T01:00:00+00:00");
  EXPECT_EQ(reply[1].at("id"), "apple:weekly:2025-03-16T01:00:00+00:00");
  EXPECT_EQ(reply[0].at("repeatReadOnly"), true);
  EXPECT_EQ(reply[1].at("repeatReadOnly"), true);
}

// The platform answers in no particular order: event i starts at second
// (i * 7919 % count) / 3 of the window, so starts come scrambled and in threes.
TEST_F(EventQueryTest, PastThe800thKeepsTheEarliestStartsInPlatformOrder) {
  const struct {
    int count;
    int last_start_kept;    // every event starting before it is kept ...
    int kept_at_last_start; // ... and this many of those starting at it, the first in platform order
  } cases[] = {
      {1200, 266, 2},  // 266 * 3 + 2 = 800
      {801, 266, 2},
      {800, 266, 3},   // no more than 800: every event, in platform order
      {3, 0, 3},
  };
  for (const auto& c : cases) {
    PlatformDouble fresh;
    fresh.set_status(EntityType::event, AuthorizationStatus::fullAccess);
    platform::CalendarRef calendar =
        fresh.add_calendar(EntityType::event, platform::Calendar{"work", "Work", {}, std::nullopt, true});
    std::vector<std::string> expected;
    int at_last = 0;
    for (int i = 0; i < c.count; ++i) {
      int second = i * 7919 % c.count / 3;
      Event e;
      e.event_identifier = "e" + std::to_string(i);
      e.calendar_item_identifier = *e.event_identifier;
      e.start_date = Date{kMarch9 + second};
      e.end_date = Date{kMarch9 + second + 60};
      e.calendar = calendar;
      fresh.add_event(e);
      if (second < c.last_start_kept || (second == c.last_start_kept && at_last++ < c.kept_at_last_start)) {
        expected.push_back(*e.event_identifier);
      }
    }
    bridge::CommandOutcome outcome = bridge::query_events(fresh, window({"work"}));
    ASSERT_TRUE(outcome.is_reply()) << outcome.message();
    std::vector<std::string> ids;
    for (const Json& record : reply_json(outcome)) ids.push_back(record.at("eventId").get<std::string>());
    EXPECT_EQ(ids.size(), std::min(c.count, 800)) << c.count;
    EXPECT_EQ(ids, expected) << c.count;
  }
}

TEST_F(EventQueryTest, WritesTimesInTheLocalZone) {
  p.set_local_time_zone(platform::TimeZone::named("Asia/Kathmandu"), 5 * 3600 + 45 * 60);
  add_event("e", work, kMarch9 + 3600);
  bridge::CommandOutcome outcome = query(window({"work"}));
  ASSERT_TRUE(outcome.is_reply()) << outcome.message();
  ASSERT_EQ(reply_json(outcome).size(), 1u);
  EXPECT_EQ(reply_json(outcome)[0].at("start"), "2025-03-09T06:45:00+05:45");
  EXPECT_EQ(reply_json(outcome)[0].at("end"), "2025-03-09T07:45:00+05:45");
  EXPECT_EQ(reply_json(outcome)[0].at("timeZone"), "Asia/Kathmandu");
}

}  // namespace
