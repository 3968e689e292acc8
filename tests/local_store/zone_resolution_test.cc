// TZIDs as other programs write them: tz database names, Windows zone names (with
// the stray punctuation some exports add), zones only the file defines, and names
// nobody defines, for events and for reminders' DUE and DTSTART.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "platform/local/time/components_date.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/index/packed_reminder.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/ical/defined_zone.h"
#include "platform/local/time/zone_time.h"

namespace platform::local {
namespace {

using testing::EventFiles;
using testing::kCustomEasternZone;
using testing::kKhalBerlin;
using testing::kOutlookEastern;
using testing::kWindowsBerlinZone;
using testing::MachineSettings;
using testing::utc;
using testing::vcalendar;

// Outlook's zone for Central Europe under the display name it writes when it has
// no Windows name at hand: only the file says what it means.
constexpr const char* kDisplayNameZone =
    "BEGIN:VTIMEZONE\r\nTZID:(UTC+01:00) Amsterdam\\, Berlin\\, Bern\\, Rom\\, Stockholm\\, Wien\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// A phase without TZOFFSETTO, which RFC 5545 requires: no offset can be told.
constexpr const char* kHalfDefinedZone =
    "BEGIN:VTIMEZONE\r\nTZID:Customized Time Zone\r\nBEGIN:STANDARD\r\nDTSTART:16011028T030000\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0200\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

TEST(TzidResolution, ADefinitionMissingAnOffsetIsNone) {
  EXPECT_EQ(define_zone(kHalfDefinedZone), nullptr);
  EXPECT_NE(define_zone(kDisplayNameZone), nullptr);
}

TEST(TzidResolution, TzNamesThenWindowsNames) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"Europe/Berlin", "Europe/Berlin"},
      {"America/New_York", "America/New_York"},
      {"W. Europe Standard Time", "Europe/Berlin"},
      {"Pacific Standard Time", "America/Los_Angeles"},
      {"China Standard Time", "Asia/Shanghai"},
      {"Tokyo Standard Time", "Asia/Tokyo"},
      {"W. Europe Standard Time.", "Europe/Berlin"},
      {"Pacific Standard Time,", "America/Los_Angeles"},
      {"W. Europe Standard Time  ", "Europe/Berlin"},
      {"\"Pacific Standard Time\"", "America/Los_Angeles"},
      {"'W. Europe Standard Time';", "Europe/Berlin"},
      {"Mars/Olympus", std::nullopt},
      {"Custom/Eastern", std::nullopt},
      {"Standard Time", std::nullopt},
      {". ,", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [tzid, zone] : cases) EXPECT_EQ(tz_name_for_tzid(tzid), zone) << tzid;
}

struct EventZoneCase {
  const char* what;
  const char* tz;  // the machine's
  const char* zones;
  const char* properties;
  double start, end;
  std::optional<std::string> zone;
};

TEST(EventZones, EachTzidResolvesInTurn) {
  const EventZoneCase cases[] = {
      {"Windows name, summer", "Asia/Tokyo", "",
       "DTSTART;TZID=W. Europe Standard Time:20260715T090000\nDTEND;TZID=W. Europe Standard Time:20260715T103000\n",
       utc(2026, 7, 15, 7), utc(2026, 7, 15, 8, 30), "Europe/Berlin"},
      {"Windows name, winter", "Asia/Tokyo", "",
       "DTSTART;TZID=W. Europe Standard Time:20260115T090000\nDTEND;TZID=W. Europe Standard Time:20260115T103000\n",
       utc(2026, 1, 15, 8), utc(2026, 1, 15, 9, 30), "Europe/Berlin"},
      {"Pacific, summer", "UTC", "",
       "DTSTART;TZID=Pacific Standard Time:20260715T090000\nDTEND;TZID=Pacific Standard Time:20260715T100000\n",
       utc(2026, 7, 15, 16), utc(2026, 7, 15, 17), "America/Los_Angeles"},
      {"Pacific, winter", "UTC", "",
       "DTSTART;TZID=Pacific Standard Time:20260115T090000\nDTEND;TZID=Pacific Standard Time:20260115T100000\n",
       utc(2026, 1, 15, 17), utc(2026, 1, 15, 18), "America/Los_Angeles"},
      {"trailing full stop and comma", "UTC", "",
       "DTSTART;TZID=W. Europe Standard Time.:20260715T090000\nDTEND;TZID=Pacific Standard Time,:20260715T090000\n",
       utc(2026, 7, 15, 7), utc(2026, 7, 15, 16), "Europe/Berlin"},
      {"quoted", "UTC", "", "DTSTART;TZID=\"W. Europe Standard Time\":20260115T090000\n", utc(2026, 1, 15, 8),
       utc(2026, 1, 15, 8), "Europe/Berlin"},
      {"Windows name before the file's VTIMEZONE", "UTC", kWindowsBerlinZone,
       "DTSTART;TZID=W. Europe Standard Time:20260715T090000\n", utc(2026, 7, 15, 7), utc(2026, 7, 15, 7),
       "Europe/Berlin"},
      {"a VTIMEZONE under a display name", "UTC", kDisplayNameZone,
       "DTSTART;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rom, Stockholm, Wien\":20260715T090000\n",
       utc(2026, 7, 15, 7), utc(2026, 7, 15, 7), "(UTC+01:00) Amsterdam, Berlin, Bern, Rom, Stockholm, Wien"},
      {"unknown TZID is floating in Tokyo", "Asia/Tokyo", "",
       "DTSTART;TZID=Mars/Olympus:20260715T090000\nDTEND;TZID=Mars/Olympus:20260715T100000\n", utc(2026, 7, 15, 0),
       utc(2026, 7, 15, 1), std::nullopt},
      {"unknown TZID is floating in New York", "America/New_York", "",
       "DTSTART;TZID=Mars/Olympus:20260715T090000\nDTEND;TZID=Mars/Olympus:20260715T100000\n", utc(2026, 7, 15, 13),
       utc(2026, 7, 15, 14), std::nullopt},
      {"an unreadable VTIMEZONE is floating", "Asia/Tokyo", testing::kMisdefinedZones,
       "DTSTART;TZID=Custom/Runaway:20260715T090000\n", utc(2026, 7, 15, 0), utc(2026, 7, 15, 0), std::nullopt},
      {"a VTIMEZONE missing an offset is floating", "Asia/Tokyo", kHalfDefinedZone,
       "DTSTART;TZID=Customized Time Zone:20260715T090000\n", utc(2026, 7, 15, 0), utc(2026, 7, 15, 0),
       std::nullopt},
  };
  MachineSettings machine;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    machine.zone(c.tz);
    EventFiles files;
    files.add("home/e", vcalendar(std::string(c.zones) + "BEGIN:VEVENT\nUID:e\n" + c.properties + "END:VEVENT\n"));
    auto events = files.in_window(utc(2026, 1, 1), utc(2027, 1, 1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].start_date.seconds_since_1970, c.start);
    EXPECT_EQ(events[0].end_date.seconds_since_1970, c.end);
    EXPECT_EQ(events[0].time_zone ? std::optional(events[0].time_zone->name()) : std::nullopt, c.zone);
  }
}

// A weekly meeting as Outlook exports it, without the VTIMEZONE its TZIDs name (as
// a forwarded invitation can be): an exception date and a moved occurrence after the
// change to summer time.
constexpr const char* kOutlookMeeting =
    "BEGIN:VCALENDAR\r\n"
    "PRODID:-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN\r\n"
    "VERSION:2.0\r\n"
    "METHOD:PUBLISH\r\n"
    "X-MS-OLK-FORCEINSPECTOROPEN:TRUE\r\n"
    "BEGIN:VEVENT\r\n"
    "CLASS:PUBLIC\r\n"
    "CREATED:20251201T101500Z\r\n"
    "DESCRIPTION:Wöchentliche Abstimmung\\n\\nMicrosoft Teams-Besprechung\\nJetzt a\r\n"
    " n der Besprechung teilnehmen\r\n"
    "DTEND;TZID=W. Europe Standard Time:20260105T100000\r\n"
    "DTSTAMP:20251201T101500Z\r\n"
    "DTSTART;TZID=W. Europe Standard Time:20260105T093000\r\n"
    "EXDATE;TZID=W. Europe Standard Time:20260112T093000\r\n"
    "LAST-MODIFIED:20251201T101500Z\r\n"
    "LOCATION:Besprechungsraum 3\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=20;BYDAY=MO\r\n"
    "SEQUENCE:0\r\n"
    "SUMMARY;LANGUAGE=de-de:Team-Abstimmung\r\n"
    "TRANSP:OPAQUE\r\n"
    "UID:040000008200E00074C5B7101A82E00800000000D0A1C3E2F45ADC01000000000000000\r\n"
    " 0100000004B1C2D3E4F5A6B7C8D9E0F1A2B3C4D5E6\r\n"
    "X-MICROSOFT-CDO-BUSYSTATUS:BUSY\r\n"
    "X-MICROSOFT-CDO-IMPORTANCE:1\r\n"
    "X-MICROSOFT-CDO-INTENDEDSTATUS:BUSY\r\n"
    "X-MICROSOFT-DISALLOW-COUNTER:FALSE\r\n"
    "X-MS-OLK-CONFTYPE:0\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "DTEND;TZID=W. Europe Standard Time:20260330T113000\r\n"
    "DTSTAMP:20251201T101500Z\r\n"
    "DTSTART;TZID=W. Europe Standard Time:20260330T110000\r\n"
    "RECURRENCE-ID;TZID=W. Europe Standard Time:20260330T093000\r\n"
    "SEQUENCE:1\r\n"
    "SUMMARY;LANGUAGE=de-de:Team-Abstimmung (verschoben)\r\n"
    "UID:040000008200E00074C5B7101A82E00800000000D0A1C3E2F45ADC01000000000000000\r\n"
    " 0100000004B1C2D3E4F5A6B7C8D9E0F1A2B3C4D5E6\r\n"
    "X-MICROSOFT-CDO-BUSYSTATUS:BUSY\r\n"
    "END:VEVENT\r\n"
    "END:VCALENDAR\r\n";

TEST(EventZones, AnOutlookSeriesInItsWindowsZone) {
  MachineSettings machine;
  for (const char* tz : {"America/New_York", "Asia/Shanghai"}) {
    SCOPED_TRACE(tz);
    machine.zone(tz);
    EventFiles files;
    files.add("home/meeting", kOutlookMeeting);
    auto events = files.in_window(utc(2026, 1, 1), utc(2026, 1, 20));
    ASSERT_EQ(events.size(), 2u);  // the 12th is excluded
    EXPECT_EQ(events[0].start_date.seconds_since_1970, utc(2026, 1, 5, 8, 30));
    EXPECT_EQ(events[1].start_date.seconds_since_1970, utc(2026, 1, 19, 8, 30));
    EXPECT_EQ(events[1].end_date.seconds_since_1970, utc(2026, 1, 19, 9));
    ASSERT_TRUE(events[1].time_zone);
    EXPECT_EQ(events[1].time_zone->name(), "Europe/Berlin");

    events = files.in_window(utc(2026, 3, 20), utc(2026, 4, 10));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].start_date.seconds_since_1970, utc(2026, 3, 23, 8, 30));
    EXPECT_EQ(events[1].start_date.seconds_since_1970, utc(2026, 3, 30, 9));
    EXPECT_EQ(events[1].end_date.seconds_since_1970, utc(2026, 3, 30, 9, 30));
    EXPECT_EQ(events[1].title, "Team-Abstimmung (verschoben)");
    EXPECT_EQ(events[2].start_date.seconds_since_1970, utc(2026, 4, 6, 7, 30));
  }
}

DateComponents wall(std::int64_t y, std::int64_t mo, std::int64_t d, std::int64_t h, std::int64_t mi,
                    std::optional<TimeZone> zone) {
  DateComponents c;
  c.calendar = kGregorianCalendar;
  c.year = y;
  c.month = mo;
  c.day = d;
  c.hour = h;
  c.minute = mi;
  c.second = 0;
  c.time_zone = std::move(zone);
  return c;
}

// A task as Exchange hands it to CalDAV clients.
std::string exchange_task(const std::string& zones, const std::string& times) {
  return "BEGIN:VCALENDAR\r\nPRODID:-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN\r\nVERSION:2.0\r\n" + zones +
         "BEGIN:VTODO\r\nUID:AAMkAGI2TG93AAA=\r\nDTSTAMP:20260101T080000Z\r\nSUMMARY:Angebot pr\xC3\xBC" "fen\r\n" +
         times + "X-MICROSOFT-CDO-IMPORTANCE:1\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

struct ReminderZoneCase {
  const char* what;
  const char* zones;
  const char* times;
  DateComponents due;
  double instant;  // of the due date, read under Asia/Tokyo
};

TEST(ReminderZones, DueAndStartCarryTheResolvedZone) {
  const ReminderZoneCase cases[] = {
      {"Windows name, summer", "", "DUE;TZID=W. Europe Standard Time:20260715T170000\r\n",
       wall(2026, 7, 15, 17, 0, TimeZone::named("Europe/Berlin")), utc(2026, 7, 15, 15)},
      {"Windows name, winter", "", "DUE;TZID=W. Europe Standard Time:20260115T170000\r\n",
       wall(2026, 1, 15, 17, 0, TimeZone::named("Europe/Berlin")), utc(2026, 1, 15, 16)},
      {"Pacific, summer", "", "DUE;TZID=Pacific Standard Time:20260715T090000\r\n",
       wall(2026, 7, 15, 9, 0, TimeZone::named("America/Los_Angeles")), utc(2026, 7, 15, 16)},
      {"trailing full stop", "", "DUE;TZID=W. Europe Standard Time.:20260115T170000\r\n",
       wall(2026, 1, 15, 17, 0, TimeZone::named("Europe/Berlin")), utc(2026, 1, 15, 16)},
      {"Windows name before Outlook's VTIMEZONE", kWindowsBerlinZone,
       "DUE;TZID=W. Europe Standard Time:20260715T170000\r\n",
       wall(2026, 7, 15, 17, 0, TimeZone::named("Europe/Berlin")), utc(2026, 7, 15, 15)},
      {"VTIMEZONE only, summer", kCustomEasternZone, "DUE;TZID=Custom/Eastern:20260715T090000\r\n",
       wall(2026, 7, 15, 9, 0, TimeZone::for_seconds_from_gmt(-4 * 3600)), utc(2026, 7, 15, 13)},
      {"VTIMEZONE only, winter", kCustomEasternZone, "DUE;TZID=Custom/Eastern:20260115T090000\r\n",
       wall(2026, 1, 15, 9, 0, TimeZone::for_seconds_from_gmt(-5 * 3600)), utc(2026, 1, 15, 14)},
      {"VTIMEZONE under a display name", kDisplayNameZone,
       "DUE;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rom, Stockholm, Wien\":20260715T170000\r\n",
       wall(2026, 7, 15, 17, 0, TimeZone::for_seconds_from_gmt(2 * 3600)), utc(2026, 7, 15, 15)},
      {"khal's onsets as DTSTART and RDATE", kKhalBerlin,
       "DUE;TZID=Europe/Berlin (khal):20141110T093000\r\n",
       wall(2014, 11, 10, 9, 30, TimeZone::for_seconds_from_gmt(3600)), utc(2014, 11, 10, 8, 30)},
      {"Outlook's overlapping rules", kOutlookEastern,
       "DUE;TZID=Eastern Standard Time (history):19851015T140000\r\n",
       wall(1985, 10, 15, 14, 0, TimeZone::for_seconds_from_gmt(-4 * 3600)), utc(1985, 10, 15, 18)},
      {"unknown TZID is floating", "", "DUE;TZID=Mars/Olympus:20260715T090000\r\n",
       wall(2026, 7, 15, 9, 0, std::nullopt), utc(2026, 7, 15, 0)},
      {"a VTIMEZONE missing an offset is floating", kHalfDefinedZone,
       "DUE;TZID=Customized Time Zone:20260715T090000\r\n", wall(2026, 7, 15, 9, 0, std::nullopt),
       utc(2026, 7, 15, 0)},
  };
  MachineSettings machine;
  machine.zone("Asia/Tokyo");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string start(c.times);
    start.replace(0, 3, "DTSTART");
    for (const std::string& times : {std::string(c.times), start}) {
      auto item = parse_item_text(exchange_task(c.zones, times));
      ASSERT_TRUE(item);
      ReminderRow row = reminder_row_of(*item, item->parts.front());
      const auto& read = times.starts_with("DUE") ? row.fields.due_date_components : row.fields.start_date_components;
      ASSERT_TRUE(read);
      EXPECT_EQ(*read, c.due);
      EXPECT_EQ(row.fields.time_zone, c.due.time_zone);
      EXPECT_EQ(date_of_components(*read), Date{c.instant});
      // The index gives back what the file gave.
      auto packed = packed_reminder(row);
      ASSERT_TRUE(packed);
      ReminderRowRef back = row_from_packed(*packed);
      ASSERT_TRUE(back);
      EXPECT_EQ(back->fields.due_date_components, row.fields.due_date_components);
      EXPECT_EQ(back->fields.start_date_components, row.fields.start_date_components);
      EXPECT_EQ(back->fields.time_zone, row.fields.time_zone);
    }
  }
}

}  // namespace
}  // namespace platform::local
