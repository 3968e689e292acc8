#include "caldav/event_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using caldav::CalendarEvent;
using caldav::CustomRepeat;
using caldav::EventAttendee;
using caldav::EventRepeat;
using caldav::RepeatEnd;
using nlohmann::json;

std::string compact(const json& value) { return value.dump(); }

EventAttendee attendee(std::string email) {
  EventAttendee a;
  a.email = std::move(email);
  return a;
}

// The record as the Apple event query fills it, with every optional value absent.
CalendarEvent bare_event() {
  CalendarEvent event;
  event.id = "apple:E:2025-03-09";
  event.event_id = "E";
  event.provider = "apple";
  event.calendar_id = "C";
  event.calendar_title = "Work";
  event.title = "Standup";
  event.start = "2025-03-09";
  event.end = "2025-03-09";
  event.all_day = true;
  return event;
}

TEST(EventRecordJson, OneOffEventPrintsNineteenSortedKeysWithNulls) {
  EXPECT_EQ(compact(bare_event()),
            R"({"allDay":true,"attendees":[],"calendarId":"C","calendarTitle":"Work","color":null,)"
            R"("description":null,"end":"2025-03-09","eventId":"E","id":"apple:E:2025-03-09","link":null,)"
            R"("location":null,"originalStartTime":null,"provider":"apple","recurringEventId":null,)"
            R"("start":"2025-03-09","timeZone":null,"title":"Standup","zoltBlockId":null,"zoltTaskId":null})");
  EXPECT_EQ(json(bare_event()).size(), 19u);
}

TEST(EventRecordJson, RepeatReadOnlyIsWrittenOnlyWhenTrue) {
  CalendarEvent event = bare_event();
  event.repeat_read_only = true;
  json object = event;
  EXPECT_EQ(object.size(), 20u);
  EXPECT_EQ(object.at("repeatReadOnly"), json(true));
}

TEST(EventRecordJson, PresentValuesReplaceTheirNulls) {
  CalendarEvent event = bare_event();
  event.etag = "\"v1\"";
  event.recurring_event_id = "series";
  event.original_start_time = "2025-03-02";
  event.zolt_task_id = "task";
  event.zolt_block_id = "block";
  event.time_zone = "Asia/Shanghai";
  event.location = " Room 1 ";
  event.link = "https://zoom.us/j/1";
  event.description = "";
  event.color = "#FF0080";
  event.attendees = {attendee("a@example.com")};
  event.repeat = EventRepeat::preset("weekly");
  json object = event;
  EXPECT_EQ(object.size(), 21u);
  EXPECT_EQ(object.at("etag"), "\"v1\"");
  EXPECT_EQ(object.at("recurringEventId"), "series");
  EXPECT_EQ(object.at("originalStartTime"), "2025-03-02");
  EXPECT_EQ(object.at("zoltTaskId"), "task");
  EXPECT_EQ(object.at("zoltBlockId"), "block");
  EXPECT_EQ(object.at("timeZone"), "Asia/Shanghai");
  EXPECT_EQ(object.at("location"), " Room 1 ");
  EXPECT_EQ(object.at("link"), "https://zoom.us/j/1");
  EXPECT_EQ(object.at("description"), "");  // empty notes stay empty, not null
  EXPECT_EQ(object.at("color"), "#FF0080");
  EXPECT_EQ(compact(object.at("attendees")), R"([{"email":"a@example.com"}])");
  EXPECT_EQ(object.at("repeat"), "weekly");
}

TEST(EventRecordJson, ListOfRecordsKeepsItsOrder) {
  CalendarEvent second = bare_event();
  second.id = "second";
  json list = std::vector<CalendarEvent>{bare_event(), second};
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].at("id"), "apple:E:2025-03-09");
  EXPECT_EQ(list[1].at("id"), "second");
}

struct AttendeeCase {
  const char* name;
  EventAttendee attendee;
  const char* expected;
};

TEST(EventAttendeeJson, AbsentValuesAreOmitted) {
  EventAttendee full = attendee("b@example.com");
  full.display_name = "B";
  full.photo_url = "https://example.com/b.png";
  full.response_status = "accepted";
  full.optional = false;
  full.organizer = true;
  full.self = false;
  EventAttendee flagged = attendee("");
  flagged.optional = true;
  const AttendeeCase cases[] = {
      {"email only", attendee("a@example.com"), R"({"email":"a@example.com"})"},
      {"every field", full,
       R"({"displayName":"B","email":"b@example.com","optional":false,"organizer":true,)"
       R"("photoUrl":"https://example.com/b.png","responseStatus":"accepted","self":false})"},
      {"only flags", flagged, R"({"email":"","optional":true})"},
  };
  for (const AttendeeCase& c : cases) EXPECT_EQ(compact(c.attendee), c.expected) << c.name;
}

struct RepeatCase {
  const char* name;
  EventRepeat repeat;
  const char* expected;
};

TEST(EventRepeatJson, PresetIsAStringAndCustomAnObject) {
  const RepeatCase cases[] = {
      {"preset", EventRepeat::preset("daily"), R"("daily")"},
      {"custom, count",
       EventRepeat::custom({.frequency = "weekly", .interval = 2, .weekdays = {1, 3}, .end = RepeatEnd::after_count(5)}),
       R"({"end":{"count":5,"type":"count"},"frequency":"weekly","interval":2,"weekdays":[1,3]})"},
      {"custom, never, no weekdays",
       EventRepeat::custom({.frequency = "daily", .interval = 1, .weekdays = {}, .end = RepeatEnd::never()}),
       R"({"end":{"type":"never"},"frequency":"daily","interval":1,"weekdays":[]})"},
      {"custom, date, largest interval",
       EventRepeat::custom(
           {.frequency = "monthly", .interval = 4294967295u, .weekdays = {}, .end = RepeatEnd::on_date("2025-12-31")}),
       R"({"end":{"date":"2025-12-31","type":"date"},"frequency":"monthly","interval":4294967295,"weekdays":[]})"},
  };
  for (const RepeatCase& c : cases) EXPECT_EQ(compact(c.repeat), c.expected) << c.name;
}

TEST(RepeatEndJson, EachCase) {
  EXPECT_EQ(compact(RepeatEnd::never()), R"({"type":"never"})");
  EXPECT_EQ(compact(RepeatEnd::on_date("2026-01-01T00:00:00+00:00")),
            R"({"date":"2026-01-01T00:00:00+00:00","type":"date"})");
  EXPECT_EQ(compact(RepeatEnd::after_count(0)), R"({"count":0,"type":"count"})");
}

}  // namespace
