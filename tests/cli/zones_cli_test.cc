// Times whose TZID is a Windows zone name, a zone only the file defines, or a name
// nobody defines, as "events" and the reminders commands show them.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_runner.h"
#include "support/temp_folder.h"

namespace {

using cli::RunResult;
using nlohmann::json;

constexpr const char* kOutlookHead =
    "BEGIN:VCALENDAR\r\nPRODID:-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN\r\nVERSION:2.0\r\n"
    "METHOD:PUBLISH\r\nX-MS-OLK-FORCEINSPECTOROPEN:TRUE\r\n";

// The New York rules under a name of the file's own.
constexpr const char* kCustomEasternZone =
    "BEGIN:VTIMEZONE\r\nTZID:Custom/Eastern\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// Central European time as khal writes it, under a name of its own: the STANDARD
// observance's DTSTART is an onset as much as its RDATE.
constexpr const char* kKhalZone =
    "BEGIN:VTIMEZONE\r\nTZID:Mitteleurop\xC3\xA4ische Zeit\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20141026T030000\r\nRDATE:20151025T030000\r\nTZNAME:CET\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20140330T020000\r\nTZNAME:CEST\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// Eastern time as Outlook writes it with its history: rules from 1671 and from 2007,
// none with an end.
constexpr const char* kOutlookHistoryZone =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern Time (US & Canada)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16711025T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16710405T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

class ZoneStore {
 public:
  ZoneStore() {
    dir_.write("store/access.json", R"({"events":3,"reminders":3})");
    test_support::add_collection(dir_.path() / "store", "work", "Work\n", "VEVENT\n", "#FF0080\n");
    test_support::add_collection(dir_.path() / "store", "inbox", "Inbox\n", "VTODO\n");
  }

  // An item file, dated an hour back so that the index may keep what it holds.
  void add(const std::string& relative, const std::string& text) {
    auto path = dir_.write("store/" + relative, text);
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  }

  void add_event(const std::string& name, const std::string& zones, const std::string& times) {
    add("work/" + name + ".ics",
        std::string(kOutlookHead) + zones + "BEGIN:VEVENT\r\nCLASS:PUBLIC\r\nDTSTAMP:20260101T080000Z\r\n" + times +
            "SUMMARY;LANGUAGE=de-de:Abstimmung\r\nUID:" + name +
            "\r\nX-MICROSOFT-CDO-BUSYSTATUS:BUSY\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  }

  void add_task(const std::string& name, const std::string& zones, const std::string& times) {
    add("inbox/" + name + ".ics",
        std::string(kOutlookHead) + zones + "BEGIN:VTODO\r\nUID:" + name + "\r\nDTSTAMP:20260101T080000Z\r\n" + times +
            "SUMMARY:Angebot\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
  }

  RunResult run(const std::string& command, const std::string& input, const std::string& tz) const {
    cli::Invocation inv;
    inv.args = {command};
    inv.input = input;
    inv.env = {{"CALENDAR_STORE_DIR", (dir_.path() / "store").string()}, {"TZ", tz}, {"LC_ALL", "C.UTF-8"}};
    return cli::run(inv);
  }

  std::string ics(const std::string& relative) const { return dir_.read("store/" + relative).value_or(""); }

 private:
  test_support::TempFolder dir_;
};

std::string line_of(const std::string& text, const std::string& name) {
  auto at = text.find("\r\n" + name);
  if (at == std::string::npos) return "";
  return text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
}

struct EventCase {
  const char* what;
  const char* zones;
  const char* times;
  const char* tz;
  const char* start;
  const char* end;
  const char* zone;
};

TEST(ZonesCli, EventTimesInTheirResolvedZone) {
  const EventCase cases[] = {
      {"Windows name, summer", "",
       "DTSTART;TZID=W. Europe Standard Time:20260715T090000\r\nDTEND;TZID=W. Europe Standard Time:20260715T100000\r\n",
       "America/New_York", "2026-07-15T03:00:00-04:00", "2026-07-15T04:00:00-04:00", "Europe/Berlin"},
      {"Windows name, winter", "",
       "DTSTART;TZID=W. Europe Standard Time:20260115T090000\r\nDTEND;TZID=W. Europe Standard Time:20260115T100000\r\n",
       "America/New_York", "2026-01-15T03:00:00-05:00", "2026-01-15T04:00:00-05:00", "Europe/Berlin"},
      {"Windows name with a trailing full stop", "",
       "DTSTART;TZID=Pacific Standard Time.:20260715T090000\r\nDTEND;TZID=Pacific Standard Time.:20260715T100000\r\n",
       "UTC", "2026-07-15T16:00:00+00:00", "2026-07-15T17:00:00+00:00", "America/Los_Angeles"},
      {"the file's VTIMEZONE", kCustomEasternZone,
       "DTSTART;TZID=Custom/Eastern:20260115T090000\r\nDTEND;TZID=Custom/Eastern:20260115T100000\r\n", "UTC",
       "2026-01-15T14:00:00+00:00", "2026-01-15T15:00:00+00:00", "Custom/Eastern"},
      {"unknown TZID, Tokyo", "",
       "DTSTART;TZID=Mars/Olympus:20260715T090000\r\nDTEND;TZID=Mars/Olympus:20260715T100000\r\n", "Asia/Tokyo",
       "2026-07-15T09:00:00+09:00", "2026-07-15T10:00:00+09:00", "Asia/Tokyo"},
      {"unknown TZID, New York", "",
       "DTSTART;TZID=Mars/Olympus:20260715T090000\r\nDTEND;TZID=Mars/Olympus:20260715T100000\r\n",
       "America/New_York", "2026-07-15T09:00:00-04:00", "2026-07-15T10:00:00-04:00", "America/New_York"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZoneStore store;
    store.add_event("e", c.zones, c.times);
    RunResult r = store.run(
        "events", R"({"start":"2026-01-01T00:00:00Z","end":"2027-01-01T00:00:00Z","calendarIds":["work"]})", c.tz);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(R"([{"allDay":false,"attendees":[],"calendarId":"work","calendarTitle":"Work",)") +
                         R"("color":"#FF0080","description":null,"end":")" + c.end + R"(","eventId":"work/e",)" +
                         R"("id":"apple:work/e:)" + c.start + R"(","link":null,"location":null,)" +
                         R"("originalStartTime":null,"provider":"apple","recurringEventId":null,"start":")" + c.start +
                         R"(","timeZone":")" + c.zone +
                         R"(","title":"Abstimmung","zoltBlockId":null,"zoltTaskId":null}])" + "\n");
  }
}

const char* const kMachineZones[] = {"UTC", "America/New_York", "Asia/Shanghai"};

struct DefinedZoneCase {
  const char* what;
  const char* zones;
  const char* times;
  const char* window;
  const char* start[3];  // as shown under each of kMachineZones
  const char* end[3];
};

TEST(ZonesCli, ZonesTheFileDefinesCountEveryOnset) {
  const DefinedZoneCase cases[] = {
      {"khal: DTSTART beside an RDATE",
       kKhalZone,
       "DTSTART;TZID=Mitteleurop\xC3\xA4ische Zeit:20141110T093000\r\n"
       "DTEND;TZID=Mitteleurop\xC3\xA4ische Zeit:20141110T103000\r\n",
       R"({"start":"2014-11-01T00:00:00Z","end":"2014-12-01T00:00:00Z","calendarIds":["work"]})",
       {"2014-11-10T08:30:00+00:00", "2014-11-10T03:30:00-05:00", "2014-11-10T16:30:00+08:00"},
       {"2014-11-10T09:30:00+00:00", "2014-11-10T04:30:00-05:00", "2014-11-10T17:30:00+08:00"}},
      {"Outlook: overlapping rules without an end",
       kOutlookHistoryZone,
       "DTSTART;TZID=Eastern Time (US & Canada):19851015T140000\r\n"
       "DTEND;TZID=Eastern Time (US & Canada):19851015T150000\r\n",
       R"({"start":"1985-10-01T00:00:00Z","end":"1985-11-01T00:00:00Z","calendarIds":["work"]})",
       {"1985-10-15T18:00:00+00:00", "1985-10-15T14:00:00-04:00", "1985-10-16T02:00:00+08:00"},
       {"1985-10-15T19:00:00+00:00", "1985-10-15T15:00:00-04:00", "1985-10-16T03:00:00+08:00"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZoneStore store;
    store.add_event("e", c.zones, c.times);
    for (int z = 0; z < 3; ++z) {
      SCOPED_TRACE(kMachineZones[z]);
      RunResult r = store.run("events", c.window, kMachineZones[z]);
      ASSERT_EQ(r.exit_status, 0) << r.err;
      json reply = json::parse(r.out);
      ASSERT_EQ(reply.size(), 1u) << r.out;
      EXPECT_EQ(reply[0]["start"], c.start[z]);
      EXPECT_EQ(reply[0]["end"], c.end[z]);
      EXPECT_EQ(reply[0]["timeZone"], line_of(c.zones, "TZID").substr(5));
    }
  }
}

struct TaskCase {
  const char* name;
  const char* zones;
  const char* due_line;
  const char* due;  // as "reminders-read" shows it
};

const TaskCase kTasks[] = {
    {"summer", "", "DUE;TZID=W. Europe Standard Time:20260715T170000", "2026-07-15T17:00:00+02:00"},
    {"winter", "", "DUE;TZID=W. Europe Standard Time:20260115T170000", "2026-01-15T17:00:00+01:00"},
    {"comma", "", "DUE;TZID=Pacific Standard Time,:20260115T090000", "2026-01-15T09:00:00-08:00"},
    {"defined", kCustomEasternZone, "DUE;TZID=Custom/Eastern:20260715T090000", "2026-07-15T09:00:00-04:00"},
    {"unknown", "", "DUE;TZID=Mars/Olympus:20260715T090000", "2026-07-15T09:00"},
    {"history", kOutlookHistoryZone, "DUE;TZID=Eastern Time (US & Canada):19851015T140000",
     "1985-10-15T14:00:00-04:00"},
    {"khal", kKhalZone, "DUE;TZID=Mitteleurop\xC3\xA4ische Zeit:20141110T093000", "2014-11-10T09:30:00+01:00"},
};

TEST(ZonesCli, ReminderDueDatesInTheirResolvedZone) {
  ZoneStore store;
  for (const auto& task : kTasks) store.add_task(task.name, task.zones, std::string(task.due_line) + "\r\n");
  std::string first;
  // The second read comes from the index the first one wrote.
  for (const char* tz : {"Asia/Tokyo", "America/New_York", "Asia/Tokyo"}) {
    SCOPED_TRACE(tz);
    RunResult r = store.run("reminders-read", R"({"listIds":["inbox"]})", tz);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    json reply = json::parse(r.out);
    ASSERT_EQ(reply.size(), std::size(kTasks));
    std::map<std::string, std::string> due;
    for (const json& record : reply) due[record["id"]] = record["due"];
    for (const auto& task : kTasks) EXPECT_EQ(due["inbox/" + std::string(task.name)], task.due) << task.name;
    if (first.empty()) first = r.out;
    EXPECT_EQ(r.out, first);
  }
}

TEST(ZonesCli, AlarmsAtFloatingTimesFollowTheMachinesZone) {
  ZoneStore store;
  store.add_task("alarm", "",
                 "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME;TZID=Mars/Olympus:20260715T080000\r\n"
                 "DESCRIPTION:Erinnerung\r\nEND:VALARM\r\n");
  const std::pair<const char*, const char*> reads[] = {
      {"Asia/Tokyo", "2026-07-14T23:00:00+00:00"},
      {"America/New_York", "2026-07-15T12:00:00+00:00"},
      {"Asia/Tokyo", "2026-07-14T23:00:00+00:00"},
  };
  for (const auto& [tz, remind_at] : reads) {
    RunResult r = store.run("reminders-read", R"({"listIds":["inbox"]})", tz);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out).at(0).at("remindAt"), remind_at) << tz;
  }
}

TEST(ZonesCli, ADueDateSavedAsItWasReadKeepsItsLine) {
  for (const auto& task : kTasks) {
    SCOPED_TRACE(task.name);
    ZoneStore store;
    store.add_task(task.name, task.zones, std::string(task.due_line) + "\r\n");
    std::string request = json{{"listIds", {"inbox"}},
                               {"listId", "inbox"},
                               {"id", "inbox/" + std::string(task.name)},
                               {"title", "Angebot senden"},
                               {"due", task.due}}
                              .dump();
    RunResult r = store.run("reminders-save", request, "Asia/Tokyo");
    ASSERT_EQ(r.exit_status, 0) << r.err;
    json reply = json::parse(r.out);
    EXPECT_EQ(reply["due"], task.due);
    EXPECT_EQ(reply["title"], "Angebot senden");
    std::string ics = store.ics("inbox/" + std::string(task.name) + ".ics");
    EXPECT_EQ(line_of(ics, "DUE"), task.due_line) << ics;
  }
}

}  // namespace
