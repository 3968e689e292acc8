#include "calendar/apple/event_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "double/platform_double.h"

namespace {

using bridge::EventConversionContext;
using double_platform::PlatformDouble;
using platform::Date;
using platform::Event;
using platform::TimeZone;
using nlohmann::json;

constexpr double kMarch9At0605Utc = 1741500300;  // 2025-03-09T06:05:00Z, 14:05 at UTC+8

class EventConversionTest : public ::testing::Test {
 protected:
  EventConversionTest() { p.set_local_time_zone(TimeZone::named("Asia/Shanghai"), 8 * 3600); }

  json convert(const Event& event) {
    EventConversionContext context{p, p.local_time_zone()};
    return bridge::event_from_ekevent(context, event);
  }

  Event timed_event() {
    Event e;
    e.event_identifier = "work/standup";
    e.calendar_item_identifier = "work/standup";
    e.title = "Standup";
    e.start_date = Date{kMarch9At0605Utc};
    e.end_date = Date{kMarch9At0605Utc + 1800};
    e.calendar = work;
    e.time_zone = TimeZone::named("Europe/Berlin");
    return e;
  }

  PlatformDouble p;
  platform::CalendarRef work = std::make_shared<const platform::Calendar>(
      platform::Calendar{"C", "Work", platform::Color{platform::RgbComponents{0.2, 0.2, 0.2}}, std::nullopt, true});
};

TEST_F(EventConversionTest, TimedEventInLocalTextsWithTheEventsZoneName) {
  EXPECT_EQ(convert(timed_event()).dump(),
            R"({"allDay":false,"attendees":[],"calendarId":"C","calendarTitle":"Work","color":"#333333",)"
            R"("description":null,"end":"2025-03-09T14:35:00+08:00","eventId":"work/standup",)"
            R"("id":"apple:work/standup:2025-03-09T14:05:00+08:00","link":null,"location":null,)"
            R"("originalStartTime":null,"provider":"apple","recurringEventId":null,)"
            R"("start":"2025-03-09T14:05:00+08:00","timeZone":"Europe/Berlin","title":"Standup",)"
            R"("zoltBlockId":null,"zoltTaskId":null})");
  EXPECT_EQ(convert(timed_event()).size(), 19u);
}

TEST_F(EventConversionTest, AllDayEventHasDatesAndNoZone) {
  Event e = timed_event();
  e.is_all_day = true;
  e.start_date = Date{1741449600};              // local midnight, 9 March
  e.end_date = Date{1741449600 + 86400 - 1};     // a second before the next local midnight
  json record = convert(e);
  EXPECT_EQ(record.at("start"), "2025-03-09");
  EXPECT_EQ(record.at("end"), "2025-03-09");
  EXPECT_EQ(record.at("timeZone"), nullptr);
  EXPECT_EQ(record.at("allDay"), true);
  EXPECT_EQ(record.at("id"), "apple:work/standup:2025-03-09");
}

TEST_F(EventConversionTest, EventWithoutZoneNamesTheLocalZone) {
  Event e = timed_event();
  e.time_zone.reset();
  EXPECT_EQ(convert(e).at("timeZone"), "Asia/Shanghai");
}

TEST_F(EventConversionTest, RepeatingEventIsReadOnlyWithTwentyKeys) {
  Event e = timed_event();
  e.has_recurrence_rules = true;
  json record = convert(e);
  EXPECT_EQ(record.size(), 20u);
  EXPECT_EQ(record.at("repeatReadOnly"), true);
  EXPECT_FALSE(record.contains("etag"));
  EXPECT_FALSE(record.contains("repeat"));
}

TEST_F(EventConversionTest, MissingIdentifierAndCalendarFallBack) {
  Event no_identifier = timed_event();
  no_identifier.event_identifier.reset();
  json record = convert(no_identifier);
  EXPECT_EQ(record.at("eventId"), "apple-C-2025-03-09T14:05:00+08:00");
  EXPECT_EQ(record.at("id"), "apple:apple-C-2025-03-09T14:05:00+08:00:2025-03-09T14:05:00+08:00");

  Event orphan = no_identifier;
  orphan.calendar = nullptr;
  record = convert(orphan);
  EXPECT_EQ(record.at("calendarId"), "");
  EXPECT_EQ(record.at("calendarTitle"), "Apple 日历");
  EXPECT_EQ(record.at("color"), nullptr);
  EXPECT_EQ(record.at("eventId"), "apple--2025-03-09T14:05:00+08:00");
}

TEST_F(EventConversionTest, CalendarWithoutSrgbColourGivesNullColour) {
  Event e = timed_event();
  e.calendar = std::make_shared<const platform::Calendar>(platform::Calendar{"D", "Plain", {}, std::nullopt, true});
  EXPECT_EQ(convert(e).at("color"), nullptr);
}

struct TextCase {
  const char* name;
  const char* text;
  bool blank;
};

// Unicode White_Space decides blankness; the kept text is never trimmed.
const TextCase kTextCases[] = {
    {"empty", "", true},
    {"spaces and tabs", "  \t ", true},
    {"line breaks", "\r\n\v\f", true},
    {"no-break and ideographic spaces", "\u00A0\u3000\u2007", true},
    {"next line, line and paragraph separators", "\u0085\u2028\u2029", true},
    {"ogham space, narrow and medium spaces", "\u1680\u202F\u205F", true},
    {"zero width space is not white space", "\u200B", false},
    {"padded text keeps its spaces", "  Lunch \t", false},
    {"single letter", "x", false},
    {"Chinese", "\u3000会议\u3000", false},
    {"invalid UTF-8 is content", "\xFF", false},
};

TEST_F(EventConversionTest, BlankTitleBecomesUntitled) {
  for (const TextCase& c : kTextCases) {
    Event e = timed_event();
    e.title = c.text;
    EXPECT_EQ(convert(e).at("title").get<std::string>(), c.blank ? "（无标题）" : c.text) << c.name;
  }
}

TEST_F(EventConversionTest, BlankLocationBecomesNull) {
  for (const TextCase& c : kTextCases) {
    Event e = timed_event();
    e.location = c.text;
    json location = convert(e).at("location");
    if (c.blank) {
      EXPECT_EQ(location, nullptr) << c.name;
    } else {
      EXPECT_EQ(location.get<std::string>(), c.text) << c.name;
    }
  }
  Event absent = timed_event();
  EXPECT_EQ(convert(absent).at("location"), nullptr);
}

TEST_F(EventConversionTest, NotesAreKeptUnchanged) {
  Event e = timed_event();
  e.notes = "";
  EXPECT_EQ(convert(e).at("description"), "");
  e.notes = "  line one\nline two  ";
  EXPECT_EQ(convert(e).at("description"), "  line one\nline two  ");
}

TEST_F(EventConversionTest, MeetingLinkComesFromTheLocationOnly) {
  struct LinkCase {
    const char* name;
    std::optional<std::string> location;
    std::optional<std::string> notes;
    json expected_link;
  };
  const LinkCase cases[] = {
      {"zoom link ending a sentence", "Join at https://acme.zoom.us/j/123?pwd=x.", std::nullopt,
       "https://acme.zoom.us/j/123?pwd=x"},
      {"meet link in angle brackets", "<https://meet.google.com/abc-defg-hij>", std::nullopt,
       "https://meet.google.com/abc-defg-hij"},
      {"other host", "https://example.com/meeting", std::nullopt, nullptr},
      {"link in the notes is not searched", "Room 4", "https://zoom.us/j/1", nullptr},
      {"no location", std::nullopt, "https://zoom.us/j/1", nullptr},
  };
  for (const LinkCase& c : cases) {
    Event e = timed_event();
    e.location = c.location;
    e.notes = c.notes;
    EXPECT_EQ(convert(e).at("link"), c.expected_link) << c.name;
  }
}

}  // namespace
