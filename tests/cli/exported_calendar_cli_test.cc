// Collections as vdirsyncer and other programs leave them, through the executable:
// no `components` file, and calendars exported as one file of many items.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_runner.h"
#include "local_store/exported_calendars.h"
#include "support/temp_folder.h"

namespace {

using cli::RunResult;
using nlohmann::json;

// A store whose collections have a displayname and nothing else, as vdirsyncer
// writes them: "team" holds a Google Calendar export, "errands" an Apple one of tasks.
class SyncedStore {
 public:
  SyncedStore() {
    dir_.write("store/access.json", R"({"events":3,"reminders":3})");
    test_support::add_collection(dir_.path() / "store", "team", "Team\n");
    dir_.write("store/team/export.ics", store_test::kGoogleExport);
    test_support::add_collection(dir_.path() / "store", "errands", "Errands\n");
    dir_.write("store/errands/tasks.ics", store_test::kAppleTasks);
  }

  RunResult run(const std::string& command, const std::string& input, const std::string& tz = "UTC") const {
    cli::Invocation inv;
    inv.args = {command};
    inv.input = input;
    inv.env = {{"CALENDAR_STORE_DIR", (dir_.path() / "store").string()}, {"TZ", tz}, {"LC_ALL", "C.UTF-8"}};
    return cli::run(inv);
  }
  json reply(const std::string& command, const std::string& input, const std::string& tz = "UTC") const {
    RunResult r = run(command, input, tz);
    EXPECT_EQ(r.exit_status, 0) << command << " " << input << ": " << r.err;
    return r.exit_status == 0 ? json::parse(r.out) : json(nullptr);
  }
  void write(const std::string& relative, const std::string& text) const { dir_.write("store/" + relative, text); }
  std::string read(const std::string& relative) const { return dir_.read("store/" + relative).value_or(""); }

 private:
  test_support::TempFolder dir_;
};

std::vector<std::string> ids_of(const json& records, const char* key) {
  std::vector<std::string> ids;
  for (const json& record : records) ids.push_back(record.at(key).get<std::string>());
  return ids;
}

TEST(ExportedCalendarsCli, CollectionsAreToldApartByTheirItems) {
  SyncedStore store;
  EXPECT_EQ(ids_of(store.reply("calendars", "{}"), "id"), std::vector<std::string>{"team"});
  EXPECT_EQ(ids_of(store.reply("reminders-connect", "{}").at("lists"), "id"), std::vector<std::string>{"errands"});
}

TEST(ExportedCalendarsCli, EveryEventOfAnExportedFileWithItsMovedOccurrence) {
  SyncedStore store;
  json events =
      store.reply("events", R"({"start":"2025-03-01T00:00:00Z","end":"2025-04-01T00:00:00Z","calendarIds":["team"]})");
  std::vector<std::string> shown;
  for (const json& e : events) shown.push_back(e.at("start").get<std::string>() + " " + e.at("title").get<std::string>());
  EXPECT_EQ(shown, (std::vector<std::string>{"2025-03-03T09:00:00+00:00 Team sync", "2025-03-05 Offsite",
                                             "2025-03-11T14:00:00+00:00 Team sync (moved)",
                                             "2025-03-17T09:00:00+00:00 Team sync",
                                             "2025-03-20T16:00:00+00:00 Call with Ana"}));
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].at("eventId"), "team/export/5l1kq3f9o0t7c2m8b4v6n1r3s5@google.com");
  EXPECT_EQ(events[1].at("eventId"), "team/export/0a9s8d7f6g5h4j3k2l1@google.com");
}

TEST(ExportedCalendarsCli, AnAllDayRuleEndsOnTheDateOfItsUntilInEveryZone) {
  for (const char* tz : {"America/Los_Angeles", "UTC", "Pacific/Kiritimati"}) {
    SyncedStore store;
    store.write("team/holiday.ics",
                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example Corp.//Exporter 2.1//EN\r\nBEGIN:VEVENT\r\n"
                "UID:holiday\r\nDTSTART;VALUE=DATE:20250601\r\nRRULE:FREQ=DAILY;UNTIL=20250603T000000Z\r\n"
                "SUMMARY:Holiday\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    json events = store.reply(
        "events", R"({"start":"2025-05-30T00:00:00Z","end":"2025-06-06T00:00:00Z","calendarIds":["team"]})", tz);
    std::vector<std::string> starts;
    for (const json& e : events) starts.push_back(e.at("start"));
    EXPECT_EQ(starts, (std::vector<std::string>{"2025-06-01", "2025-06-02", "2025-06-03"})) << tz;
  }
}

TEST(ExportedCalendarsCli, ASaveAndADeleteInAFileOfSeveralTasksKeepTheOthers) {
  SyncedStore store;
  const std::string original = store_test::kAppleTasks;
  const std::string milk = "errands/tasks/7C1D4A2E-8B3F-4E21-9A0C-5D6E7F8A9B01";
  json saved = store.reply("reminders-save", json{{"listIds", {"errands"}},
                                                  {"listId", "errands"},
                                                  {"id", milk},
                                                  {"clientId", "task-1"},
                                                  {"title", "Buy oat milk"},
                                                  {"previousFields", {{"title", "Buy milk"}}}}
                                                 .dump());
  EXPECT_EQ(saved.at("id"), milk);
  EXPECT_EQ(saved.at("title"), "Buy oat milk");
  std::string text = store.read("errands/tasks.ics");
  // The other two tasks and the calendar's own lines are as they were.
  std::size_t second = original.find("BEGIN:VTODO\nCREATED:20250302T101111Z");
  std::size_t milk_begin = original.find("BEGIN:VTODO\n");
  EXPECT_EQ(text.substr(0, milk_begin), original.substr(0, milk_begin));
  EXPECT_EQ(text.substr(text.size() - (original.size() - second)), original.substr(second));
  EXPECT_NE(text.find("\nSUMMARY:Buy oat milk\n"), std::string::npos) << text;

  RunResult removed = store.run("reminders-delete", json{{"listIds", {"errands"}}, {"id", milk}}.dump());
  EXPECT_EQ(removed.out, "null\n") << removed.err;
  EXPECT_EQ(store.read("errands/tasks.ics"), original.substr(0, milk_begin) + original.substr(second));
  EXPECT_EQ(ids_of(store.reply("reminders-read", R"({"listIds":["errands"]})"), "id"),
            (std::vector<std::string>{"errands/tasks/1A2B3C4D-5E6F-4A7B-8C9D-0E1F2A3B4C5D",
                                      "errands/tasks/9E8D7C6B-5A49-4382-B1C0-DFEEDDCCBBAA"}));
}

// Calendars written as an iCalendar stream (several VCALENDAR objects in one file).
const std::string kStream =
    std::string(store_test::kStreamFirst) + store_test::kStreamSecond + store_test::kStreamThird;

// The records whose `key` starts with `prefix`, each as its compact JSON text.
std::vector<std::string> records_of(const json& records, const char* key, const std::string& prefix) {
  std::vector<std::string> found;
  for (const json& record : records) {
    if (record.at(key).get<std::string>().rfind(prefix, 0) == 0) found.push_back(record.dump());
  }
  return found;
}

TEST(ExportedCalendarsCli, TwoCalendarObjectsInOneFileShowBothEvents) {
  SyncedStore store;
  store.write("team/two.ics",
              "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//A//EN\r\nBEGIN:VEVENT\r\nUID:one\r\n"
              "DTSTART:20250610T090000Z\r\nDURATION:PT1H\r\nSUMMARY:One\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
              "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//A//EN\r\nBEGIN:VEVENT\r\nUID:two\r\n"
              "DTSTART:20250611T090000Z\r\nDURATION:PT1H\r\nSUMMARY:Two\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  RunResult r =
      store.run("events", R"({"start":"2025-06-01T00:00:00Z","end":"2025-07-01T00:00:00Z","calendarIds":["team"]})");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  // Nothing else of the collection lies in June: the reply is these two events.
  EXPECT_EQ(r.out,
            std::string(
                R"([{"allDay":false,"attendees":[],"calendarId":"team","calendarTitle":"Team","color":null,)"
                R"("description":null,"end":"2025-06-10T10:00:00+00:00","eventId":"team/two/one",)"
                R"("id":"apple:team/two/one:2025-06-10T09:00:00+00:00","link":null,"location":null,)"
                R"("originalStartTime":null,"provider":"apple","recurringEventId":null,)"
                R"("start":"2025-06-10T09:00:00+00:00","timeZone":"UTC","title":"One","zoltBlockId":null,)"
                R"("zoltTaskId":null},)"
                R"({"allDay":false,"attendees":[],"calendarId":"team","calendarTitle":"Team","color":null,)"
                R"("description":null,"end":"2025-06-11T10:00:00+00:00","eventId":"team/two/two",)"
                R"("id":"apple:team/two/two:2025-06-11T09:00:00+00:00","link":null,"location":null,)"
                R"("originalStartTime":null,"provider":"apple","recurringEventId":null,)"
                R"("start":"2025-06-11T09:00:00+00:00","timeZone":"UTC","title":"Two","zoltBlockId":null,)"
                R"("zoltTaskId":null}])") +
                "\n");
}

TEST(ExportedCalendarsCli, EveryEventOfAStreamInEveryZone) {
  struct Case {
    const char* tz;
    std::vector<std::string> starts;
  };
  const Case cases[] = {
      {"UTC",
       {"2025-03-03T09:00:00+00:00 weekly@example.com", "2025-03-10T09:00:00+00:00 weekly@example.com",
        "2025-03-12T07:00:00+00:00 ship@example.com", "2025-03-17T09:00:00+00:00 weekly@example.com",
        "2025-03-25T05:00:00+00:00 late@example.com"}},
      {"America/Los_Angeles",
       {"2025-03-03T01:00:00-08:00 weekly@example.com", "2025-03-10T02:00:00-07:00 weekly@example.com",
        "2025-03-12T00:00:00-07:00 ship@example.com", "2025-03-17T02:00:00-07:00 weekly@example.com",
        "2025-03-24T22:00:00-07:00 late@example.com"}},
      {"Asia/Tokyo",
       {"2025-03-03T18:00:00+09:00 weekly@example.com", "2025-03-10T18:00:00+09:00 weekly@example.com",
        "2025-03-12T16:00:00+09:00 ship@example.com", "2025-03-17T18:00:00+09:00 weekly@example.com",
        "2025-03-25T14:00:00+09:00 late@example.com"}},
  };
  for (const Case& c : cases) {
    SyncedStore store;
    store.write("team/stream.ics", kStream);
    json events = store.reply(
        "events", R"({"start":"2025-03-01T00:00:00Z","end":"2025-04-01T00:00:00Z","calendarIds":["team"]})", c.tz);
    std::vector<std::string> shown;
    for (const json& e : events) {
      std::string id = e.at("eventId");
      if (id.rfind("team/stream/", 0) == 0) shown.push_back(e.at("start").get<std::string>() + " " + id.substr(12));
    }
    EXPECT_EQ(shown, c.starts) << c.tz;
  }
}

TEST(ExportedCalendarsCli, EveryReminderOfAStreamWithItsOwnObjectsZone) {
  SyncedStore store;
  store.write("errands/stream.ics", kStream);
  EXPECT_EQ(records_of(store.reply("reminders-read", R"({"listIds":["errands"]})"), "id", "errands/stream/"),
            (std::vector<std::string>{
                R"({"clientId":null,"completed":false,"due":"2025-03-04T12:00:00+00:00","externalId":"a-task",)"
                R"("id":"errands/stream/a-task","listId":"errands","notes":"","priority":0,"recurrenceRules":[],)"
                R"("remindAt":null,"title":"First task"})",
                R"({"clientId":null,"completed":false,"due":"2025-03-13T18:00:00+03:00","externalId":"b-task",)"
                R"("id":"errands/stream/b-task","listId":"errands","notes":"","priority":0,"recurrenceRules":[],)"
                R"("remindAt":"2025-03-13T14:00:00+00:00","title":"Second task"})",
                R"({"clientId":null,"completed":false,"due":"2025-03-20T08:00:00+05:00","externalId":"c-task",)"
                R"("id":"errands/stream/c-task","listId":"errands","notes":"","priority":0,"recurrenceRules":[],)"
                R"("remindAt":null,"title":"Third task"})"}));
}

}  // namespace
