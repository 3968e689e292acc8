// Zones a file defines itself, read as RFC 5545 reads a VTIMEZONE: every DTSTART and
// RDATE of an observance and every date of its RRULE is an onset, and the offset at a
// time is that of the latest onset before it among all observances.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "platform/local/ical/defined_zone.h"

namespace platform::local {
namespace {

using testing::kKhalBerlin;
using testing::kOutlookEastern;
using testing::utc;

// The same without the rule for the start of daylight time from 2007.
constexpr const char* kOutlookEasternThreeRules =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time (three rules)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16711025T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16710405T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// One observance of each form: DTSTART alone, with RDATEs, with a bounded RRULE.
constexpr const char* kEveryForm =
    "BEGIN:VTIMEZONE\r\nTZID:Every form\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20000101T000000\r\nTZOFFSETFROM:+0000\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20010601T000000\r\nRRULE:FREQ=YEARLY;COUNT=3\r\n"
    "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20011001T000000\r\nRDATE:20021001T000000,20031001T000000\r\n"
    "TZOFFSETFROM:+0400\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

struct DefinedCase {
  const char* what;
  const char* zone;
  WallTime wall;
  double instant;
};

TEST(DefinedZone, EveryOnsetOfEveryObservanceCounts) {
  const DefinedCase cases[] = {
      {"khal: DTSTART beside an RDATE", kKhalBerlin, {2014, 11, 10, 9, 30, 0}, utc(2014, 11, 10, 8, 30)},
      {"khal: the RDATE", kKhalBerlin, {2015, 11, 10, 9, 30, 0}, utc(2015, 11, 10, 8, 30)},
      {"khal: daylight", kKhalBerlin, {2014, 7, 1, 9, 30, 0}, utc(2014, 7, 1, 7, 30)},
      {"Outlook: daylight of the old rules", kOutlookEastern, {1985, 10, 15, 14, 0, 0}, utc(1985, 10, 15, 18)},
      {"Outlook: standard of the old rules", kOutlookEastern, {1985, 12, 1, 14, 0, 0}, utc(1985, 12, 1, 19)},
      {"Outlook: before daylight began in 1985", kOutlookEastern, {1985, 4, 6, 14, 0, 0}, utc(1985, 4, 6, 19)},
      {"Outlook: daylight of the new rules", kOutlookEastern, {2010, 3, 20, 14, 0, 0}, utc(2010, 3, 20, 18)},
      {"Outlook: both rules for standard time", kOutlookEastern, {2010, 11, 3, 14, 0, 0}, utc(2010, 11, 3, 19)},
      {"Outlook: far ahead", kOutlookEastern, {2300, 7, 1, 14, 0, 0}, utc(2300, 7, 1, 18)},
      {"three rules: 1985", kOutlookEasternThreeRules, {1985, 10, 15, 14, 0, 0}, utc(1985, 10, 15, 18)},
      {"three rules: 2020 summer", kOutlookEasternThreeRules, {2020, 7, 1, 14, 0, 0}, utc(2020, 7, 1, 18)},
      {"three rules: last Sunday of October", kOutlookEasternThreeRules, {2020, 10, 28, 14, 0, 0},
       utc(2020, 10, 28, 19)},
      {"DTSTART alone", kEveryForm, {2000, 6, 1, 12, 0, 0}, utc(2000, 6, 1, 9)},
      {"the RRULE's DTSTART", kEveryForm, {2001, 7, 1, 12, 0, 0}, utc(2001, 7, 1, 8)},
      {"an RRULE date", kEveryForm, {2003, 7, 1, 12, 0, 0}, utc(2003, 7, 1, 8)},
      {"an RDATE", kEveryForm, {2002, 12, 1, 12, 0, 0}, utc(2002, 12, 1, 9)},
      {"after the bounded RRULE", kEveryForm, {2004, 7, 1, 12, 0, 0}, utc(2004, 7, 1, 9)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto zone = define_zone(c.zone);
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(wall_time_to_date(c.wall, *zone), Date{c.instant});
  }
}

TEST(DefinedZone, ReadsAVtimezoneAndResolvesLikeNamedZones) {
  auto zone = define_zone(
      "BEGIN:VTIMEZONE\r\nTZID:Custom/Eastern\r\n"
      "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
      "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n");
  ASSERT_NE(zone, nullptr);
  const std::pair<WallTime, double> cases[] = {
      {{2025, 7, 1, 9, 30, 0}, utc(2025, 7, 1, 13, 30)},
      {{2025, 3, 9, 2, 30, 0}, utc(2025, 3, 9, 7, 30)},
      {{2025, 11, 2, 1, 30, 0}, utc(2025, 11, 2, 5, 30)},
  };
  for (const auto& [wall, instant] : cases) EXPECT_EQ(wall_time_to_date(wall, *zone), Date{instant});
  EXPECT_EQ(define_zone("BEGIN:VTIMEZONE\r\nTZID:x\r\nEND:VCALENDAR\r\n"), nullptr);
  EXPECT_EQ(define_zone("not a zone"), nullptr);
}

// One STANDARD observance with the given lines.
std::string one_observance(const std::string& lines) {
  return "BEGIN:VTIMEZONE\r\nTZID:Odd\r\nBEGIN:STANDARD\r\n" + lines + "END:STANDARD\r\nEND:VTIMEZONE\r\n";
}

// Definitions no offset can be told from, or that libical would walk without bound
// (a rule with no date is looked for until its last year, a daily one kept date by
// date): read as none, at once, so that their times are floating.
TEST(DefinedZone, DefinitionsThatCannotBeReadInBoundedWorkAreNone) {
  const char* const offsets = "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n";
  const std::string cases[] = {
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets + "RRULE:FREQ=SECONDLY\r\n"),
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets + "RRULE:FREQ=DAILY\r\n"),
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets + "RRULE:FREQ=WEEKLY;BYDAY=SU\r\n"),
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets +
                     "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\r\n"),
      one_observance(std::string("DTSTART:00010101T000000\r\n") + offsets + "RRULE:FREQ=MONTHLY;BYDAY=6MO\r\n"),
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets + "RRULE:FREQ=MONTHLY;BYDAY=SU\r\n"),
      one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets +
                     "RRULE:FREQ=YEARLY;BYMONTH=3;BYHOUR=0,1,2,3,4,5,6,7,8,9,10,11,12\r\n"),
      one_observance("DTSTART:20000101T000000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+2400\r\n"),
      one_observance("DTSTART:20000101T000000\r\nTZOFFSETFROM:+0100\r\n"),
      one_observance("TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"),
      one_observance(std::string("DTSTART:20001301T000000\r\n") + offsets),
      "BEGIN:VTIMEZONE\r\nTZID:Empty\r\nEND:VTIMEZONE\r\n",
      "BEGIN:VTIMEZONE\r\nBEGIN:STANDARD\r\nDTSTART:20000101T000000\r\nTZOFFSETTO:+0200\r\n"
      "END:STANDARD\r\nEND:VTIMEZONE\r\n",
      "BEGIN:VEVENT\r\nUID:x\r\nEND:VEVENT\r\n",
      "not a zone",
  };
  for (const auto& text : cases) EXPECT_EQ(define_zone(text), nullptr) << text;
  // One onset a month, 24 in two years, is the most a zone's rule gives.
  EXPECT_NE(define_zone(one_observance(std::string("DTSTART:16010101T000000\r\n") + offsets + "RRULE:FREQ=MONTHLY\r\n")),
            nullptr);
  // Outlook for Mac leaves TZOFFSETFROM out of a zone without daylight time.
  auto fixed = define_zone(one_observance("DTSTART:16010101T000000\r\nTZOFFSETTO:+0530\r\n"));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(wall_time_to_date(WallTime{2025, 1, 1, 5, 30, 0, 0}, *fixed), Date{utc(2025, 1, 1)});
}

// Last Sunday of a month, 1 for the day of a month with none given.
unsigned last_sunday(int y, unsigned m) {
  using namespace std::chrono;
  return static_cast<unsigned>(year_month_day(sys_days(year(y) / month(m) / Sunday[last])).day());
}

// Central European time as khal writes it for many years: one RDATE for each onset.
std::string khal_berlin(int first_year, int last_year) {
  auto onsets = [&](unsigned month, const char* hour, int from) {
    std::string out;
    for (int y = from; y <= last_year; ++y) {
      char line[40];
      std::snprintf(line, sizeof line, "%s:%04d%02u%02uT%s\r\n", y == from ? "DTSTART" : "RDATE", y, month,
                    last_sunday(y, month), hour);
      out += line;
    }
    return out;
  };
  return "BEGIN:VTIMEZONE\r\nTZID:Berlin (khal)\r\nBEGIN:STANDARD\r\n" + onsets(10, "030000", first_year) +
         "TZNAME:CET\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\n" +
         onsets(3, "020000", first_year + 1) +
         "TZNAME:CEST\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
}

// New York with its rules since 1967: bounded rules, two single dates and open ones.
constexpr const char* kNewYorkHistory =
    "BEGIN:VTIMEZONE\r\nTZID:New York (history)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19671029T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU;UNTIL=20061029T060000Z\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19670430T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=-1SU;UNTIL=19730429T070000Z\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19740106T020000\r\nRDATE:19750223T020000\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19760425T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=-1SU;UNTIL=19860427T070000Z\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19870405T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU;UNTIL=20060402T070000Z\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// New York and Berlin as Outlook writes them: today's rules from 1601.
constexpr const char* kOutlookNewYork =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time (Outlook)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011104T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010311T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
constexpr const char* kOutlookBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time (Outlook)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

struct OracleCase {
  std::string definition;
  const char* named;  // the tz database zone it mirrors
  int first_year, last_year;
};

// Every day of the years, a wall time at an hour that moves on each day, and on the
// days around a change of offset every quarter hour (skipped and repeated ones too):
// the instant equals the tz database's for the same wall time.
TEST(DefinedZone, MirrorsOfTzZonesAgreeWithTheTzDatabase) {
  const OracleCase cases[] = {
      {kNewYorkHistory, "America/New_York", 1968, 2045},
      {kOutlookNewYork, "America/New_York", 2008, 2045},
      {kOutlookBerlin, "Europe/Berlin", 1997, 2045},
      {khal_berlin(1996, 2037), "Europe/Berlin", 1997, 2037},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named + std::string(" from ") + std::to_string(c.first_year));
    auto zone = define_zone(c.definition);
    ASSERT_NE(zone, nullptr);
    int mismatches = 0;
    auto check = [&](const WallTime& wall) {
      auto defined = wall_time_to_date(wall, *zone), named = wall_time_to_date(wall, c.named);
      if (defined != named && ++mismatches <= 5) {
        ADD_FAILURE() << wall.year << "-" << wall.month << "-" << wall.day << " " << wall.hour << ":" << wall.minute;
      }
    };
    double first = utc(c.first_year, 1, 1), last = utc(c.last_year, 12, 31);
    for (double day = first; day <= last; day += 86400) {
      WallTime date = utc_wall_time(Date{day});
      auto step = static_cast<std::int64_t>((day - first) / 86400);
      check(WallTime{date.year, date.month, date.day, step % 24, 10, 0, 0});
      if (zone_offset_at(c.named, Date{day - 86400}) == zone_offset_at(c.named, Date{day + 2 * 86400})) continue;
      for (int minute = 0; minute < 24 * 60; minute += 15) {
        check(WallTime{date.year, date.month, date.day, minute / 60, minute % 60, 0, 0});
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

}  // namespace
}  // namespace platform::local
