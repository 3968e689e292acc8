#include "platform/local/events/event_occurrences.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"

namespace platform::local {
namespace {

using testing::EventFiles;
using testing::kCustomEasternZone;
using testing::kMisdefinedZones;
using testing::kWindowsBerlinZone;
using testing::MachineSettings;
using testing::utc;
using testing::vcalendar;

std::string one_event(const std::string& properties) {
  return vcalendar(std::string(kCustomEasternZone) + kWindowsBerlinZone + kMisdefinedZones + "BEGIN:VEVENT\nUID:u1\n" +
                   properties + "END:VEVENT\n");
}

struct TimesCase {
  const char* what;
  const char* tz;
  const char* properties;
  double start, end;
  bool all_day;
  std::optional<std::string> zone;
};

TEST(EventTimes, FromDtstartDtendAndDuration) {
  const TimesCase cases[] = {
      {"all-day ends a second before midnight", "Asia/Shanghai", "DTSTART;VALUE=DATE:20250309\nDTEND;VALUE=DATE:20250310\n",
       utc(2025, 3, 8, 16), utc(2025, 3, 9, 15, 59, 59), true, {}},
      {"all-day without an end is one day", "Asia/Shanghai", "DTSTART;VALUE=DATE:20250309\n", utc(2025, 3, 8, 16),
       utc(2025, 3, 9, 15, 59, 59), true, {}},
      {"all-day over three days", "Asia/Shanghai", "DTSTART;VALUE=DATE:20250309\nDTEND;VALUE=DATE:20250312\n",
       utc(2025, 3, 8, 16), utc(2025, 3, 11, 15, 59, 59), true, {}},
      {"all-day DURATION", "Asia/Shanghai", "DTSTART;VALUE=DATE:20250309\nDURATION:P2D\n", utc(2025, 3, 8, 16),
       utc(2025, 3, 10, 15, 59, 59), true, {}},
      {"all-day DTEND not after DTSTART", "UTC", "DTSTART;VALUE=DATE:20250309\nDTEND;VALUE=DATE:20250301\n",
       utc(2025, 3, 9), utc(2025, 3, 9, 23, 59, 59), true, {}},
      {"all-day on a day that loses an hour", "America/New_York", "DTSTART;VALUE=DATE:20250309\n", utc(2025, 3, 9, 5),
       utc(2025, 3, 10, 3, 59, 59), true, {}},
      {"all-day whose TZID is ignored", "UTC", "DTSTART;VALUE=DATE;TZID=Asia/Tokyo:20250309\n", utc(2025, 3, 9),
       utc(2025, 3, 9, 23, 59, 59), true, {}},
      {"TZID with DTEND", "Asia/Kathmandu",
       "DTSTART;TZID=America/New_York:20250701T090000\nDTEND;TZID=America/New_York:20250701T100000\n",
       utc(2025, 7, 1, 13), utc(2025, 7, 1, 14), false, "America/New_York"},
      {"DTEND in another zone", "UTC", "DTSTART;TZID=Europe/Paris:20250701T090000\nDTEND;TZID=Asia/Tokyo:20250701T180000\n",
       utc(2025, 7, 1, 7), utc(2025, 7, 1, 9), false, "Europe/Paris"},
      {"UTC with DURATION", "Asia/Kathmandu", "DTSTART:20250309T060000Z\nDURATION:PT1H30M\n", utc(2025, 3, 9, 6),
       utc(2025, 3, 9, 7, 30), false, "UTC"},
      {"floating in Kathmandu", "Asia/Kathmandu", "DTSTART:20250309T140500\nDTEND:20250309T150500\n",
       utc(2025, 3, 9, 8, 20), utc(2025, 3, 9, 9, 20), false, {}},
      {"floating in St. John's", "America/St_Johns", "DTSTART:20250309T140500\n", utc(2025, 3, 9, 16, 35),
       utc(2025, 3, 9, 16, 35), false, {}},
      {"floating in UTC", "UTC", "DTSTART:20250309T140500\n", utc(2025, 3, 9, 14, 5), utc(2025, 3, 9, 14, 5), false, {}},
      {"timed without an end has no length", "UTC", "DTSTART:20250309T060000Z\n", utc(2025, 3, 9, 6),
       utc(2025, 3, 9, 6), false, "UTC"},
      {"DTEND before DTSTART counts as no length", "UTC", "DTSTART:20250309T060000Z\nDTEND:20250309T050000Z\n",
       utc(2025, 3, 9, 6), utc(2025, 3, 9, 6), false, "UTC"},
      {"negative DURATION counts as no length", "UTC", "DTSTART:20250309T060000Z\nDURATION:-PT1H\n",
       utc(2025, 3, 9, 6), utc(2025, 3, 9, 6), false, "UTC"},
      {"a DURATION day is a wall-clock day", "UTC", "DTSTART;TZID=America/New_York:20250308T120000\nDURATION:P1DT1H\n",
       utc(2025, 3, 8, 17), utc(2025, 3, 9, 17), false, "America/New_York"},
      {"the file's VTIMEZONE", "UTC", "DTSTART;TZID=Custom/Eastern:20250701T090000\n", utc(2025, 7, 1, 13),
       utc(2025, 7, 1, 13), false, "Custom/Eastern"},
      {"VTIMEZONE: skipped time moves forward", "UTC", "DTSTART;TZID=Custom/Eastern:20250309T023000\n",
       utc(2025, 3, 9, 7, 30), utc(2025, 3, 9, 7, 30), false, "Custom/Eastern"},
      {"VTIMEZONE: repeated time is the first", "UTC", "DTSTART;TZID=Custom/Eastern:20251102T013000\n",
       utc(2025, 11, 2, 5, 30), utc(2025, 11, 2, 5, 30), false, "Custom/Eastern"},
      {"tz database: skipped time moves forward", "UTC", "DTSTART;TZID=America/New_York:20250309T023000\n",
       utc(2025, 3, 9, 7, 30), utc(2025, 3, 9, 7, 30), false, "America/New_York"},
      {"Outlook's VTIMEZONE, summer", "UTC", "DTSTART;TZID=W. Europe Standard Time:20250701T090000\n",
       utc(2025, 7, 1, 7), utc(2025, 7, 1, 7), false, "Europe/Berlin"},
      {"Outlook's VTIMEZONE, skipped time", "UTC", "DTSTART;TZID=W. Europe Standard Time:20250330T023000\n",
       utc(2025, 3, 30, 1, 30), utc(2025, 3, 30, 1, 30), false, "Europe/Berlin"},
      {"a known name is the tz database's, whatever the file says", "UTC",
       "DTSTART;TZID=America/New_York:20250101T090000\n", utc(2025, 1, 1, 14), utc(2025, 1, 1, 14), false,
       "America/New_York"},
      {"an unreadable VTIMEZONE is floating", "Asia/Tokyo", "DTSTART;TZID=Custom/Runaway:20250309T090000\n",
       utc(2025, 3, 9, 0), utc(2025, 3, 9, 0), false, {}},
      {"unknown TZID is floating", "Asia/Tokyo", "DTSTART;TZID=Mars/Olympus:20250309T090000\n", utc(2025, 3, 9, 0),
       utc(2025, 3, 9, 0), false, {}},
  };
  MachineSettings machine;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    machine.zone(c.tz);
    EventFiles files;
    files.add("home/e1", one_event(c.properties));
    auto events = files.in_window(utc(2024, 1, 1), utc(2026, 1, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].start_date.seconds_since_1970, c.start);
    EXPECT_EQ(events[0].end_date.seconds_since_1970, c.end);
    EXPECT_EQ(events[0].is_all_day, c.all_day);
    EXPECT_EQ(events[0].time_zone ? std::optional(events[0].time_zone->name()) : std::nullopt, c.zone);
  }
}

TEST(EventFields, FromTheVevent) {
  EventFiles files;
  auto home = testing::test_calendar("home");
  files.add("home/full", vcalendar("BEGIN:VEVENT\nUID:abc-123\nDTSTART:20250309T060000Z\n"
                                   "SUMMARY:Caf\xC3\xA9 \xE2\x98\x95\\, talk\nLOCATION:Room 1\n"
                                   "DESCRIPTION:line one\\nline two\nRRULE:FREQ=YEARLY;COUNT=1\nEND:VEVENT\n"),
            home);
  files.add("home/bare", "BEGIN:VEVENT\nDTSTART:20250309T070000Z\nEND:VEVENT\n", home);
  auto events = files.in_window(utc(2025, 3, 9), utc(2025, 3, 10));
  ASSERT_EQ(events.size(), 2u);

  const platform::Event& full = events[0];
  EXPECT_EQ(full.event_identifier, "home/full");
  EXPECT_EQ(full.calendar_item_identifier, "home/full");
  EXPECT_EQ(full.external_identifier, "abc-123");
  EXPECT_EQ(full.title, "Caf\xC3\xA9 \xE2\x98\x95, talk");
  EXPECT_EQ(full.location, "Room 1");
  EXPECT_EQ(full.notes, "line one\nline two");
  EXPECT_EQ(full.calendar, home);
  EXPECT_TRUE(full.has_recurrence_rules);

  const platform::Event& bare = events[1];
  EXPECT_EQ(bare.calendar_item_identifier, "home/bare");
  EXPECT_EQ(bare.external_identifier, std::nullopt);
  EXPECT_EQ(bare.title, "");
  EXPECT_EQ(bare.location, std::nullopt);
  EXPECT_EQ(bare.notes, std::nullopt);
  EXPECT_FALSE(bare.has_recurrence_rules);
}

struct WindowCase {
  const char* what;
  const char* properties;
  double window_start, window_end;
  bool found;
};

TEST(EventWindow, OverlapRule) {
  const char* hour = "DTSTART:20250309T100000Z\nDTEND:20250309T110000Z\n";
  const char* instant = "DTSTART:20250309T100000Z\n";
  const char* all_day = "DTSTART;VALUE=DATE:20250309\n";
  const WindowCase cases[] = {
      {"ends as the window starts", hour, utc(2025, 3, 9, 11), utc(2025, 3, 9, 12), false},
      {"starts as the window ends", hour, utc(2025, 3, 9, 9), utc(2025, 3, 9, 10), false},
      {"window inside the event", hour, utc(2025, 3, 9, 10, 30), utc(2025, 3, 9, 10, 31), true},
      {"one second of overlap", hour, utc(2025, 3, 9, 9), utc(2025, 3, 9, 10, 0, 1), true},
      {"no length, at the window start", instant, utc(2025, 3, 9, 10), utc(2025, 3, 9, 11), true},
      {"no length, at the window end", instant, utc(2025, 3, 9, 9), utc(2025, 3, 9, 10), false},
      {"all-day, window from its last second", all_day, utc(2025, 3, 9, 23, 59, 59), utc(2025, 3, 11), false},
      {"all-day, window from a second earlier", all_day, utc(2025, 3, 9, 23, 59, 58), utc(2025, 3, 11), true},
      {"window ending before it starts", hour, utc(2025, 3, 9, 11), utc(2025, 3, 9, 9), false},
      {"empty window", instant, utc(2025, 3, 9, 10), utc(2025, 3, 9, 10), false},
      {"inside the first four years", instant, utc(2021, 3, 11), utc(2030, 1, 1), true},
      {"past the first four years", instant, utc(2021, 3, 10), utc(2030, 1, 1), false},
  };
  MachineSettings machine;
  machine.zone("UTC");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EventFiles files;
    files.add("home/e", one_event(c.properties));
    EXPECT_EQ(files.in_window(c.window_start, c.window_end).size(), c.found ? 1u : 0u);
  }
}

TEST(EventWindow, OrderedByStartThenIdentifier) {
  EventFiles files;
  files.add("work/b", one_event("DTSTART:20250309T100000Z\n"));
  files.add("home/late", one_event("DTSTART:20250309T120000Z\n"));
  files.add("home/b", one_event("DTSTART:20250309T100000Z\nDTEND:20250309T110000Z\n"));
  files.add("home/a", one_event("DTSTART:20250309T100000Z\n"));
  files.add("home/early", one_event("DTSTART:20250309T080000Z\nDTEND:20250309T130000Z\n"));
  std::vector<std::string> order;
  for (const auto& e : files.in_window(utc(2025, 3, 9), utc(2025, 3, 10))) order.push_back(e.calendar_item_identifier);
  EXPECT_EQ(order, (std::vector<std::string>{"home/early", "home/a", "home/b", "work/b", "home/late"}));
}

TEST(EventFiles, OddContentIsSkipped) {
  const std::string cases[] = {
      vcalendar("BEGIN:VTODO\nUID:t\nDTSTART:20250309T100000Z\nEND:VTODO\n"),
      vcalendar("BEGIN:VEVENT\nUID:no-start\nSUMMARY:x\nEND:VEVENT\n"),
      vcalendar("BEGIN:VEVENT\nUID:bad-start\nDTSTART:yesterday\nEND:VEVENT\n"),
      vcalendar("BEGIN:VEVENT\nUID:bad-month\nDTSTART:20251309T100000Z\nEND:VEVENT\n"),
      vcalendar("BEGIN:VEVENT\nUID:bad-rule\nDTSTART:20250301T100000Z\nRRULE:FREQ=SOMETIMES\nEND:VEVENT\n"),
      "BEGIN:VTODO\nDTSTART:20250309T100000Z\nEND:VTODO\n",
      "not iCalendar at all",
  };
  for (const auto& text : cases) {
    SCOPED_TRACE(text);
    EventFiles files;
    files.add("home/odd", text);
    auto events = files.in_window(utc(2025, 3, 1), utc(2025, 4, 1));
    // The unreadable rule still leaves its DTSTART.
    EXPECT_EQ(events.size(), text.find("bad-rule") != std::string::npos ? 1u : 0u);
  }
  EXPECT_TRUE(events_in_window({EventSource{nullptr, "home/null", nullptr}}, Date{0}, Date{1e10}).empty());
}

}  // namespace
}  // namespace platform::local
