#include "caldav/event_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using caldav::CalendarEvent;
using nlohmann::json;

std::string compact(const json& value) { return value.dump(); }

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
  event.time_zone = "Asia/Shanghai";
  event.location = " Room 1 ";
  event.link = "https://zoom.us/j/1";
  event.description = "";
  event.color = "#FF0080";
  json object = event;
  EXPECT_EQ(object.size(), 19u);
  EXPECT_EQ(object.at("timeZone"), "Asia/Shanghai");
  EXPECT_EQ(object.at("location"), " Room 1 ");
  EXPECT_EQ(object.at("link"), "https://zoom.us/j/1");
  EXPECT_EQ(object.at("description"), "");  // empty notes stay empty, not null
  EXPECT_EQ(object.at("color"), "#FF0080");
}

TEST(EventRecordJson, ListOfRecordsKeepsItsOrder) {
  CalendarEvent second = bare_event();
  second.id = "second";
  json list = std::vector<CalendarEvent>{bare_event(), second};
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].at("id"), "apple:E:2025-03-09");
  EXPECT_EQ(list[1].at("id"), "second");
}

}  // namespace
