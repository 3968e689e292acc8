// "calendars", "connect" and "events" through the executable, on local stores
// written here as vdir folders of iCalendar files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_runner.h"
#include "support/temp_folder.h"

namespace {

using cli::RunResult;
using nlohmann::json;

constexpr const char* kGateMessage = "还没有 Apple 日历权限\n";

struct Collection {
  std::string folder;
  std::optional<std::string> displayname;
  std::optional<std::string> color;
  std::optional<std::string> source;
  std::optional<std::string> components;
};

// One store root in a fresh temporary folder.
class Store {
 public:
  explicit Store(std::optional<std::string> access = R"({"events":3})") {
    if (access) dir_.write("store/access.json", *access);
  }

  void add(const Collection& c) {
    auto line = [](const std::optional<std::string>& text) { return text ? *text + "\n" : std::string(); };
    test_support::add_collection(root(), c.folder, line(c.displayname), line(c.components), line(c.color),
                                 line(c.source));
  }

  // An item file holding one VEVENT made of these content lines.
  void add_event(const std::string& folder, const std::string& name, const std::vector<std::string>& lines,
                 const std::string& extra_components = "") {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//calendar-bridge tests//EN\r\n" + extra_components;
    text += "BEGIN:VEVENT\r\nUID:" + name + "\r\nDTSTAMP:20250101T000000Z\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    text += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    dir_.write("store/" + folder + "/" + name + ".ics", text);
  }

  RunResult run(const std::string& command, const std::string& input, const std::string& tz = "UTC",
                const std::string& locale = "C.UTF-8") const {
    cli::Invocation inv;
    inv.args = {command};
    inv.input = input;
    inv.env = {{"CALENDAR_STORE_DIR", root().string()}, {"TZ", tz},      {"LC_ALL", locale},
               {"LC_MESSAGES", std::nullopt},           {"LANG", locale}};
    return cli::run(inv);
  }

  std::filesystem::path root() const { return dir_.path() / "store"; }

 private:
  test_support::TempFolder dir_;
};

std::string reply_line(const std::string& json) { return json + "\n"; }

// --- calendars ---

TEST(CalendarsCli, ListsEventCollectionsSortedByTitleBytes) {
  Store store;
  store.add({"w", "Work", "#FF0080", "iCloud", "VEVENT"});
  store.add({"h", "home", "#333333ff", std::nullopt, std::nullopt});
  store.add({"H", "Home", std::nullopt, "Local", "VEVENT\nVTODO"});
  store.add({"Archive", std::nullopt, "#1badf8", "iCloud", "VEVENT"});  // title is the folder name
  store.add({"tasks", "Tasks", "#FF9500", "iCloud", "VTODO"});          // reminders only: not listed
  RunResult r = store.run("calendars", "{}");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out,
            reply_line(
                R"([{"color":"#1BADF8","id":"Archive","primary":false,"source":"iCloud","timeZone":null,"title":"Archive","writable":false},)"
                R"({"color":null,"id":"H","primary":false,"source":"Local","timeZone":null,"title":"Home","writable":false},)"
                R"({"color":"#FF0080","id":"w","primary":false,"source":"iCloud","timeZone":null,"title":"Work","writable":false},)"
                R"({"color":"#333333","id":"h","primary":false,"source":null,"timeZone":null,"title":"home","writable":false}])"));
}

TEST(CalendarsCli, EqualTitlesKeepTheStoresFolderOrder) {
  Store store;
  for (const char* folder : {"c", "a", "b"}) store.add({folder, "Same", std::nullopt, std::nullopt, "VEVENT"});
  RunResult r = store.run("calendars", "[]");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_LT(r.out.find(R"("id":"a")"), r.out.find(R"("id":"b")"));
  EXPECT_LT(r.out.find(R"("id":"b")"), r.out.find(R"("id":"c")"));
}

TEST(CalendarsCli, EmptyStoreRepliesWithAnEmptyArray) {
  Store store;
  RunResult r = store.run("calendars", "");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "[]\n");
}

TEST(CalendarsCli, ClosedGateFailsWithoutCreatingTheStore) {
  const std::optional<std::string> records[] = {std::nullopt, R"({"events":0})", R"({"events":1})",
                                                R"({"events":2})", R"({"events":4})", R"({"events":"3"})",
                                                R"({"reminders":3})", "not json"};
  for (const auto& record : records) {
    Store store(record);
    RunResult r = store.run("calendars", "{}");
    EXPECT_EQ(r.exit_status, 1) << record.value_or("no file");
    EXPECT_EQ(r.out, "") << record.value_or("no file");
    EXPECT_EQ(r.err, kGateMessage) << record.value_or("no file");
    EXPECT_FALSE(std::filesystem::exists(store.root() / "calendar")) << record.value_or("no file");
  }
}

// --- connect ---

struct ConnectCase {
  const char* name;
  std::string access;
  int exit_status;
  std::string out;
  std::string err;
};

TEST(ConnectCli, AsksForAccessThenListsWithTheAccountLabel) {
  const std::string one_calendar =
      R"({"account":"Local","calendars":[{"color":null,"id":"cal","primary":false,"source":"Local",)"
      R"("timeZone":null,"title":"Cal","writable":false}]})";
  const ConnectCase cases[] = {
      {"already granted", R"({"events":3})", 0, reply_line(one_calendar), ""},
      {"granted at the prompt", R"({"events":0,"prompt":"grant"})", 0, reply_line(one_calendar), ""},
      {"write-only, granted at the prompt", R"({"events":4})", 0, reply_line(one_calendar), ""},
      {"denied at the prompt", R"({"events":0,"prompt":"deny"})", 1, "",
       "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。\n"},
      {"denied before", R"({"events":2})", 1, "",
       "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。\n"},
      {"refused with an error", R"({"events":0,"prompt":{"error":"操作无法完成。"}})", 1, "", "操作无法完成。\n"},
      {"callback dropped", R"({"events":0,"prompt":"drop"})", 1, "", "Apple 日历授权已中断\n"},
  };
  for (const ConnectCase& c : cases) {
    Store store(c.access);
    store.add({"cal", "Cal", std::nullopt, "Local", "VEVENT"});
    RunResult r = store.run("connect", "{}");
    EXPECT_EQ(r.exit_status, c.exit_status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
}

TEST(ConnectCli, AccountLabelJoinsDistinctSourcesOfTheSortedList) {
  Store store;
  store.add({"1", "A1", std::nullopt, "A", "VEVENT"});
  store.add({"2", "B1", std::nullopt, "B", "VEVENT"});
  store.add({"3", "A2", std::nullopt, "A", "VEVENT"});
  store.add({"4", "C1", std::nullopt, std::nullopt, "VEVENT"});
  RunResult r = store.run("connect", "{}");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with(R"({"account":"A、B","calendars":[{)")) << r.out;
}

TEST(ConnectCli, NewStoreGetsItsDefaultCalendarAndTheLocalLabel) {
  Store store(std::nullopt);  // no root yet: connect opens (and so creates) it
  RunResult r = store.run("connect", "{}");
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, reply_line(R"({"account":"本机日历","calendars":[{"color":"#1BADF8","id":"calendar",)"
                              R"("primary":false,"source":null,"timeZone":null,"title":"Calendar","writable":false}]})"));
}

TEST(ConnectCli, NoEventCalendarsGivesTheLocalLabelAndAnEmptyList) {
  Store store;
  store.add({"tasks", "Tasks", std::nullopt, "iCloud", "VTODO"});
  RunResult r = store.run("connect", "{}");
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, reply_line(R"({"account":"本机日历","calendars":[]})"));
}

// --- events ---

std::string events_request(const std::string& start, const std::string& end, json ids = {"work"}) {
  return json{{"start", start}, {"end", end}, {"calendarIds", ids}}.dump();
}

// A store with the calendar "work" and a reminders list.
class WorkStore : public Store {
 public:
  explicit WorkStore(std::optional<std::string> access = R"({"events":3})") : Store(std::move(access)) {
    add({"work", "Work", "#FF0080", "iCloud", "VEVENT"});
    add({"tasks", "Tasks", std::nullopt, "iCloud", "VTODO"});
  }
};

std::vector<std::string> starts_of(const std::string& out) {
  std::vector<std::string> starts;
  for (const json& record : json::parse(out)) starts.push_back(record.at("start").get<std::string>());
  return starts;
}

TEST(EventsCli, TimedEventRecordInTheMachinesZone) {
  WorkStore store;
  store.add_event("work", "standup",
                  {"DTSTART:20250309T060500Z", "DTEND:20250309T063500Z", "SUMMARY:Standup",
                   "LOCATION:Zoom: https://zoom.us/j/123.", "DESCRIPTION:Daily\\nsync"});
  RunResult r = store.run("events", events_request("2025-03-09T00:00:00Z", "2025-03-10T00:00:00Z"), "Asia/Kathmandu");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, reply_line(
                       R"([{"allDay":false,"attendees":[],"calendarId":"work","calendarTitle":"Work","color":"#FF0080",)"
                       R"("description":"Daily\nsync","end":"2025-03-09T12:20:00+05:45","eventId":"work/standup",)"
                       R"("id":"apple:work/standup:2025-03-09T11:50:00+05:45","link":"https://zoom.us/j/123",)"
                       R"("location":"Zoom: https://zoom.us/j/123.","originalStartTime":null,"provider":"apple",)"
                       R"("recurringEventId":null,"start":"2025-03-09T11:50:00+05:45","timeZone":"UTC",)"
                       R"("title":"Standup","zoltBlockId":null,"zoltTaskId":null}])"));
}

struct ZoneCase {
  const char* tz;
  const char* timed_start;
  const char* timed_end;
};

TEST(EventsCli, TextsFollowTheLocalZoneNeverTheEventsZone) {
  const ZoneCase cases[] = {
      {"Asia/Kathmandu", "2025-01-15T14:45:00+05:45", "2025-01-15T15:45:00+05:45"},
      {"America/St_Johns", "2025-01-15T05:30:00-03:30", "2025-01-15T06:30:00-03:30"},
      {"UTC", "2025-01-15T09:00:00+00:00", "2025-01-15T10:00:00+00:00"},
  };
  for (const ZoneCase& c : cases) {
    WorkStore store;
    store.add_event("work", "berlin",
                    {"DTSTART;TZID=Europe/Berlin:20250115T100000", "DTEND;TZID=Europe/Berlin:20250115T110000",
                     "SUMMARY:Berlin"});
    store.add_event("work", "holiday",
                    {"DTSTART;VALUE=DATE:20250116", "DTEND;VALUE=DATE:20250117", "SUMMARY:Holiday"});
    RunResult r = store.run("events", events_request("2025-01-14T00:00:00Z", "2025-01-18T00:00:00Z"), c.tz);
    ASSERT_EQ(r.exit_status, 0) << c.tz << ": " << r.err;
    json reply = json::parse(r.out);
    ASSERT_EQ(reply.size(), 2u) << c.tz;
    EXPECT_EQ(reply[0].at("start"), c.timed_start) << c.tz;
    EXPECT_EQ(reply[0].at("end"), c.timed_end) << c.tz;
    EXPECT_EQ(reply[0].at("timeZone"), "Europe/Berlin") << c.tz;
    EXPECT_EQ(reply[1].at("start"), "2025-01-16") << c.tz;
    EXPECT_EQ(reply[1].at("end"), "2025-01-16") << c.tz;
    EXPECT_EQ(reply[1].at("allDay"), true) << c.tz;
    EXPECT_EQ(reply[1].at("timeZone"), nullptr) << c.tz;
    EXPECT_EQ(reply[1].at("id"), "apple:work/holiday:2025-01-16") << c.tz;
  }
}

TEST(EventsCli, DaylightSavingChangeInsideTheWindow) {
  WorkStore store;
  store.add_event("work", "daily",
                  {"DTSTART;TZID=America/New_York:20251101T090000", "DTEND;TZID=America/New_York:20251101T093000",
                   "RRULE:FREQ=DAILY;COUNT=3", "SUMMARY:Daily"});
  store.add_event("work", "early", {"DTSTART:20251102T053000Z", "DTEND:20251102T055000Z", "SUMMARY:Early"});
  store.add_event("work", "late", {"DTSTART:20251102T063000Z", "DTEND:20251102T065000Z", "SUMMARY:Late"});
  RunResult r = store.run("events", events_request("2025-11-01T00:00:00-04:00", "2025-11-04T00:00:00\u221205:00"),
                          "America/New_York");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(starts_of(r.out),
            (std::vector<std::string>{"2025-11-01T09:00:00-04:00", "2025-11-02T01:30:00-04:00",
                                      "2025-11-02T01:30:00-05:00", "2025-11-02T09:00:00-05:00",
                                      "2025-11-03T09:00:00-05:00"}));
  json reply = json::parse(r.out);
  EXPECT_EQ(reply[0].at("eventId"), "work/daily");
  EXPECT_EQ(reply[3].at("eventId"), "work/daily");
  EXPECT_EQ(reply[3].at("id"), "apple:work/daily:2025-11-02T09:00:00-05:00");
  EXPECT_EQ(reply[3].at("repeatReadOnly"), true);
  EXPECT_EQ(reply[3].size(), 20u);
  EXPECT_EQ(reply[1].size(), 19u);
  EXPECT_FALSE(reply[1].contains("repeatReadOnly"));
}

TEST(EventsCli, KeepsTheFirst800Of1200Occurrences) {
  WorkStore store;
  store.add_event("work", "hourly",
                  {"DTSTART:20250101T000000Z", "DTEND:20250101T003000Z", "RRULE:FREQ=HOURLY;COUNT=1200",
                   "SUMMARY:Tick"});
  RunResult r = store.run("events", events_request("2025-01-01T00:00:00Z", "2025-03-01T00:00:00Z"));
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> starts = starts_of(r.out);
  ASSERT_EQ(starts.size(), 800u);
  EXPECT_EQ(starts.front(), "2025-01-01T00:00:00+00:00");
  EXPECT_EQ(starts.back(), "2025-02-03T07:00:00+00:00");
}

// A Thai locale would number years in the Buddhist era; the application reads Gregorian dates.
TEST(EventsCli, ALocaleOfAnotherCalendarStillGivesGregorianDates) {
  WorkStore store;
  store.add_event("work", "timed", {"DTSTART:20250309T060500Z", "DTEND:20250309T063500Z", "SUMMARY:T"});
  store.add_event("work", "day", {"DTSTART;VALUE=DATE:20250310", "SUMMARY:D"});
  RunResult r = store.run("events", events_request("2025-03-09T00:00:00Z", "2025-03-11T00:00:00Z"), "Asia/Bangkok",
                          "th_TH.UTF-8");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(starts_of(r.out), (std::vector<std::string>{"2025-03-09T13:05:00+07:00", "2025-03-10"}));
}

TEST(EventsCli, FallbacksForBlankTitlesAndLocations) {
  WorkStore store;
  store.add_event("work", "a", {"DTSTART:20250309T010000Z", "SUMMARY:\u3000 ", "LOCATION: \t"});
  store.add_event("work", "b", {"DTSTART:20250309T020000Z"});
  store.add_event("work", "c", {"DTSTART:20250309T030000Z", "SUMMARY:\u3000Lunch\u3000", "LOCATION:\u00A0Room 4\u00A0"});
  RunResult r = store.run("events", events_request("2025-03-09T00:00:00Z", "2025-03-10T00:00:00Z"));
  ASSERT_EQ(r.exit_status, 0) << r.err;
  json reply = json::parse(r.out);
  ASSERT_EQ(reply.size(), 3u);
  EXPECT_EQ(reply[0].at("title"), "（无标题）");
  EXPECT_EQ(reply[0].at("location"), nullptr);
  EXPECT_EQ(reply[0].at("description"), nullptr);
  EXPECT_EQ(reply[1].at("title"), "（无标题）");
  EXPECT_EQ(reply[1].at("end"), "2025-03-09T02:00:00+00:00");  // no end: the start
  // Kept untrimmed (the iCalendar reader itself drops ASCII spaces around values).
  EXPECT_EQ(reply[2].at("title"), "\u3000Lunch\u3000");
  EXPECT_EQ(reply[2].at("location"), "\u00A0Room 4\u00A0");
  EXPECT_EQ(reply[2].at("link"), nullptr);
}

struct RequestCase {
  const char* name;
  std::optional<std::string> access;
  std::string input;
  int exit_status;
  std::string out;
  std::string err;
};

TEST(EventsCli, ReadsParametersAndChecksInOrder) {
  const std::string one = R"("id":"apple:work/e:2025-03-09T01:00:00+00:00")";
  const RequestCase cases[] = {
      {"empty ids need no permission", std::nullopt, R"({"calendarIds":[]})", 0, "[]\n", ""},
      {"no string ids", std::nullopt, R"({"calendarIds":[1,null,{"a":"work"}]})", 0, "[]\n", ""},
      {"ids not a list", std::nullopt, R"({"calendarIds":"work"})", 0, "[]\n", ""},
      {"parameters not an object", std::nullopt, R"(["work"])", 0, "[]\n", ""},
      {"unreadable input", std::nullopt, R"({"calendarIds":["work"])", 0, "[]\n", ""},
      {"closed gate", R"({"events":2})", events_request("2025-03-09T00:00:00Z", "2025-03-10T00:00:00Z"), 1, "",
       kGateMessage},
      {"no permission record", std::nullopt, events_request("x", "y"), 1, "", kGateMessage},
      {"reminders list only", R"({"events":3})", events_request("bad", "bad", {"tasks"}), 0, "[]\n", ""},
      {"unknown id with a bad start", R"({"events":3})", events_request("bad", "", {"nope"}), 0, "[]\n", ""},
      {"date alone", R"({"events":3})", events_request("2025-03-09", "2025-03-10T00:00:00Z"), 1, "",
       "无法解析日期 2025-03-09\n"},
      {"no end", R"({"events":3})", R"({"calendarIds":["work"],"start":"2025-03-09T00:00:00Z"})", 1, "",
       "无法解析日期 \n"},
      {"start reported first", R"({"events":3})", events_request("start?", "end?"), 1, "", "无法解析日期 start?\n"},
  };
  for (const RequestCase& c : cases) {
    WorkStore store(c.access);
    store.add_event("work", "e", {"DTSTART:20250309T010000Z", "DTEND:20250309T020000Z", "SUMMARY:E"});
    RunResult r = store.run("events", c.input);
    EXPECT_EQ(r.exit_status, c.exit_status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
}

TEST(EventsCli, AcceptsEveryInstantFormAndNamesACalendarOnce) {
  const char* starts[] = {"2025-03-09 00:00:00Z", "2025-03-09t00:00:00.123456789+00:00",
                          "2025-03-08T20:30:00\u221203:30", "2025-03-09T05:45:00+05:45"};
  for (const char* start : starts) {
    WorkStore store;
    store.add_event("work", "e", {"DTSTART:20250309T010000Z", "DTEND:20250309T020000Z", "SUMMARY:E"});
    store.add_event("work", "before", {"DTSTART:20250308T010000Z", "DTEND:20250308T020000Z", "SUMMARY:B"});
    RunResult r = store.run("events", events_request(start, "2025-03-10T00:00:00z", {"work", 3, "work", "tasks"}));
    ASSERT_EQ(r.exit_status, 0) << start << ": " << r.err;
    EXPECT_EQ(starts_of(r.out), std::vector<std::string>{"2025-03-09T01:00:00+00:00"}) << start;
  }
}

}  // namespace
