// The reminders family through the executable, on local stores written here as
// vdir folders of iCalendar files; every write is checked in the reply and in
// what the store then holds.

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

// A store root with the reminder lists "inbox" (account iCloud), "work" and the
// read-only "shared", and an event calendar that is no reminder list.
class ReminderStore {
 public:
  explicit ReminderStore(const std::string& access = R"({"reminders":3})") {
    dir_.write("store/access.json", access);
    add_list("inbox", "Inbox", "iCloud");
    add_list("work", "Work", std::nullopt);
    add_list("shared", "Shared", std::nullopt);
    test_support::add_collection(root(), "calendar", {}, "VEVENT\n");
    add_todo("shared", "s1", {"SUMMARY:Shared task"});
    std::filesystem::permissions(root() / "shared", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
  }

  void add_list(const std::string& folder, const std::string& title, std::optional<std::string> source) {
    test_support::add_collection(root(), folder, title + "\n", "VTODO\n", {}, source ? *source + "\n" : "");
  }

  // An item file holding one VTODO made of these content lines (and nested components).
  void add_todo(const std::string& folder, const std::string& name, const std::vector<std::string>& lines) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//calendar-bridge tests//EN\r\n";
    text += "BEGIN:VTODO\r\nUID:" + name + "\r\nDTSTAMP:20250101T000000Z\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    text += "END:VTODO\r\nEND:VCALENDAR\r\n";
    dir_.write("store/" + folder + "/" + name + ".ics", text);
  }

  RunResult run(const std::string& command, const std::string& input) const {
    cli::Invocation inv;
    inv.args = {command};
    inv.input = input;
    inv.env = {{"CALENDAR_STORE_DIR", root().string()}, {"TZ", "UTC"}, {"LC_ALL", "C.UTF-8"}};
    return cli::run(inv);
  }

  // The reply of a command that must succeed, parsed.
  json reply(const std::string& command, const std::string& input) const {
    RunResult r = run(command, input);
    EXPECT_EQ(r.exit_status, 0) << command << " " << input << ": " << r.err;
    EXPECT_EQ(r.err, "");
    if (r.exit_status != 0 || r.out.empty() || r.out.back() != '\n') return nullptr;
    return json::parse(r.out);
  }

  // The message of a command that must fail, without its line feed.
  std::string failure(const std::string& command, const std::string& input) const {
    RunResult r = run(command, input);
    EXPECT_EQ(r.exit_status, 1) << command << " " << input << ": " << r.out;
    EXPECT_EQ(r.out, "");
    if (r.err.empty() || r.err.back() != '\n') return "(no message line) " + r.err;
    return r.err.substr(0, r.err.size() - 1);
  }

  // Every record "reminders-read" shows, by id.
  std::map<std::string, json> records() const {
    std::map<std::string, json> by_id;
    for (const json& record : reply("reminders-read", R"({"listIds":["inbox"]})")) by_id[record["id"]] = record;
    return by_id;
  }
  json record(const std::string& id) const {
    auto all = records();
    auto found = all.find(id);
    return found == all.end() ? json(nullptr) : found->second;
  }

  // The text of an item file, or "" when it is gone.
  std::string ics(const std::string& id) const {
    return dir_.read("store/" + id + ".ics").value_or("");
  }
  std::vector<std::string> files(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root() / folder)) {
      if (entry.path().extension() == ".ics") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path root() const { return dir_.path() / "store"; }

 private:
  test_support::TempFolder dir_;
};

bool holds_line(const std::string& ics, const std::string& line) {
  return ics.find("\n" + line + "\r\n") != std::string::npos || ics.find("\n" + line + "\n") != std::string::npos;
}

// A save request into "inbox" with these keys added.
std::string save_request(const std::string& keys) {
  return R"({"listIds":["inbox","work","shared"],"listId":"inbox",)" + keys + "}";
}

TEST(RemindersCli, StatusAnswersWithoutPermissionAndCreatesNothing) {
  test_support::TempFolder empty;
  cli::Invocation inv;
  inv.args = {"reminders-status"};
  inv.env = {{"CALENDAR_STORE_DIR", (empty.path() / "none").string()}};
  RunResult r = cli::run(inv);
  EXPECT_EQ(r.out,
            R"({"authorized":false,"available":true,"capabilities":{"recurrence":true,"smartLists":false,)"
            R"("subtasks":false,"tags":false},"denied":false})"
            "\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_FALSE(std::filesystem::exists(empty.path() / "none"));

  ReminderStore denied(R"({"reminders":2})");
  EXPECT_EQ(denied.reply("reminders-status", "")["denied"], true);
  EXPECT_EQ(denied.reply("reminders-reminders-status", "")["authorized"], false);
}

TEST(RemindersCli, ConnectListsEveryReminderListAndAsksForAccessFirst) {
  ReminderStore store(R"({"reminders":0,"prompt":"grant"})");
  RunResult r = store.run("reminders-connect", R"({"listIds":["nothing"]})");
  EXPECT_EQ(r.out,
            R"({"lists":[{"id":"inbox","source":"iCloud","title":"Inbox","writable":true},)"
            R"({"id":"shared","source":null,"title":"Shared","writable":false},)"
            R"({"id":"work","source":null,"title":"Work","writable":true}]})"
            "\n");
  EXPECT_EQ(store.reply("reminders-status", "")["authorized"], true);  // the grant was recorded

  ReminderStore refusing(R"({"reminders":0,"prompt":"deny"})");
  EXPECT_EQ(refusing.failure("reminders-connect", "{}"), "请在系统设置 → 隐私与安全性 → 提醒事项中允许 Zolt Calendar。");
  ReminderStore failing(R"({"reminders":0,"prompt":{"error":"家长控制已阻止访问"}})");
  EXPECT_EQ(failing.failure("reminders-connect", "{}"), "家长控制已阻止访问");
  ReminderStore dropping(R"({"reminders":4,"prompt":"drop"})");
  EXPECT_EQ(dropping.failure("reminders-connect", "{}"), "提醒事项请求中断");
}

TEST(RemindersCli, MessagesOfTheCommonSteps) {
  ReminderStore store;
  ReminderStore closed(R"({"reminders":4})");
  const struct {
    const ReminderStore* store;
    const char* command;
    const char* input;
    const char* message;
  } cases[] = {
      {&closed, "reminders-read", R"({"listIds":["inbox"]})", "没有 Apple 提醒事项权限，请在系统设置中允许访问。"},
      {&closed, "reminders-foo", "{}", "没有 Apple 提醒事项权限，请在系统设置中允许访问。"},
      {&closed, "reminders-save", R"({"tags":null})", "Apple 公开接口不支持原生子任务、标签或智能清单写入"},
      {&store, "reminders-read", R"({"listIds":[]})", "请选择提醒事项列表。"},
      {&store, "reminders-read", "not json", "请选择提醒事项列表。"},
      {&store, "reminders-save", R"({"listIds":["inbox",7]})", "请选择提醒事项列表。"},
      {&store, "reminders-delete", R"({"listIds":["inbox","inbox"]})", "所选提醒事项列表已不可用，请重新选择同步列表。"},
      {&store, "reminders-delete", R"({"listIds":["calendar"]})", "所选提醒事项列表已不可用，请重新选择同步列表。"},
      {&store, "reminders-foo", R"({"listIds":["inbox"]})", "未知的提醒事项操作"},
      {&store, "reminders-", R"({"listIds":["inbox"]})", "未知的提醒事项操作"},
      {&store, "reminders-Status", R"({"listIds":["inbox"]})", "未知的提醒事项操作"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.store->failure(c.command, c.input), c.message) << c.command << c.input;
}

// Only white space may follow the parameters; a NUL byte makes them unreadable.
TEST(RemindersCli, AValueFollowedByANulByteCountsAsNoParameters) {
  ReminderStore store;
  std::string request = save_request(R"("clientId":"nul-1","title":"Never")");
  EXPECT_EQ(store.failure("reminders-save", request + std::string(1, '\0')), "请选择提醒事项列表。");
  EXPECT_EQ(store.files("inbox"), std::vector<std::string>{});
  EXPECT_EQ(store.reply("reminders-save", request + " \t\r\n")["title"], "Never");
}

TEST(RemindersCli, ReadShowsEveryListWithTheStoredValues) {
  ReminderStore store;
  store.add_todo("work", "w1",
                 {"SUMMARY:Report", "DESCRIPTION:Q1 numbers", "URL:zolt-task:task-7", "PRIORITY:1", "STATUS:COMPLETED",
                  "DUE;VALUE=DATE:20250301", "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1;COUNT=4", "BEGIN:VALARM",
                  "ACTION:DISPLAY", "TRIGGER:-PT15M", "END:VALARM", "BEGIN:VALARM", "ACTION:DISPLAY",
                  "TRIGGER;VALUE=DATE-TIME:20250301T013000Z", "END:VALARM"});
  json all = store.reply("reminders-read", R"({"listIds":["inbox"]})");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["id"], "shared/s1");
  EXPECT_EQ(all[1].dump(),
            R"({"clientId":"task-7","completed":true,"due":"2025-03-01","externalId":"w1","id":"work/w1",)"
            R"("listId":"work","notes":"Q1 numbers","priority":1,)"
            R"("recurrenceRules":[{"daysOfMonth":[-1],"end":{"count":4},"frequency":"monthly","interval":1}],)"
            R"("remindAt":"2025-03-01T01:30:00+00:00","title":"Report"})");
}

TEST(RemindersCli, CreateWritesEveryFieldAndTheMarker) {
  ReminderStore store;
  json created = store.reply("reminders-save", save_request(R"("clientId":"task-1","title":" Buy milk ",
      "notes":"2 litres","due":"2025-03-01T09:30:00+08:00","priority":5,"remindAt":"2025-03-01T01:00:00Z",
      "completed":false,"recurrenceRules":[{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0}]}])"));
  std::string id = created["id"];
  ASSERT_EQ(id.rfind("inbox/", 0), 0u) << id;
  EXPECT_EQ(created["externalId"], id.substr(6));
  EXPECT_EQ(created, store.record(id));
  json expected = json::parse(
      R"({"clientId":"task-1","completed":false,"due":"2025-03-01T09:30:00+08:00","listId":"inbox",)"
      R"("notes":"2 litres","priority":5,"remindAt":"2025-03-01T01:00:00+00:00","title":"Buy milk",)"
      R"("recurrenceRules":[{"daysOfWeek":[{"day":2,"week":0}],"frequency":"weekly","interval":1}]})");
  expected["id"] = id;
  expected["externalId"] = id.substr(6);
  EXPECT_EQ(created, expected);

  std::string ics = store.ics(id);
  for (const char* line : {"URL:zolt-task:task-1", "SUMMARY:Buy milk", "PRIORITY:5", "DUE;TZID=GMT+0800:20250301T093000",
                           "DTSTART;TZID=GMT+0800:20250301T093000", "RRULE:FREQ=WEEKLY;BYDAY=MO",
                           "TRIGGER;VALUE=DATE-TIME:20250301T010000Z", "STATUS:NEEDS-ACTION"}) {
    EXPECT_TRUE(holds_line(ics, line)) << line << "\n" << ics;
  }
}

TEST(RemindersCli, RepeatingACreateUpdatesTheReminderFoundThroughItsMarker) {
  ReminderStore store;
  for (const char* client_id : {"task-1", "任务 2"}) {
    std::string request = save_request(std::string(R"("clientId":")") + client_id + R"(","title":"Call")");
    json first = store.reply("reminders-save", request);
    json second = store.reply("reminders-save", request);
    EXPECT_EQ(first["id"], second["id"]);
    EXPECT_EQ(second["clientId"], client_id);
  }
  EXPECT_EQ(store.files("inbox").size(), 2u);
  std::string encoded;
  for (const auto& [id, record] : store.records()) {
    if (record["clientId"] == "任务 2") encoded = store.ics(id);
  }
  EXPECT_TRUE(holds_line(encoded, "URL:zolt-task:%E4%BB%BB%E5%8A%A1%202")) << encoded;
}

// A stored reminder as Reminders left it, and the application's update of it.
class RemindersCliUpdate : public ::testing::Test {
 protected:
  RemindersCliUpdate() {
    store.add_todo("inbox", "r1",
                   {"SUMMARY:Old title", "DESCRIPTION:edited in Reminders", "URL:zolt-task:task-9", "PRIORITY:1",
                    "X-KEPT-BY-THE-STORE:yes", "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT15M", "END:VALARM"});
  }
  json save(const std::string& keys) { return store.reply("reminders-save", save_request(R"("id":"inbox/r1",)" + keys)); }
  std::string ics() { return store.ics("inbox/r1"); }

  ReminderStore store;
};

TEST_F(RemindersCliUpdate, OnlyTheFieldsThatChangedInTheApplicationAreWritten) {
  json reply = save(R"("clientId":"task-9","title":"New title","notes":"app notes","priority":3,
                       "previousFields":{"title":"Old","notes":"app notes","priority":3,"remindAt":null})");
  EXPECT_EQ(reply["title"], "New title");
  EXPECT_EQ(reply["notes"], "edited in Reminders");
  EXPECT_EQ(reply["priority"], 1);
  EXPECT_EQ(reply, store.record("inbox/r1"));
  EXPECT_TRUE(holds_line(ics(), "SUMMARY:New title"));
  EXPECT_TRUE(holds_line(ics(), "TRIGGER:-PT15M"));
  EXPECT_TRUE(holds_line(ics(), "X-KEPT-BY-THE-STORE:yes"));
  EXPECT_TRUE(holds_line(ics(), "URL:zolt-task:task-9"));
}

TEST_F(RemindersCliUpdate, WithoutPreviousFieldsEveryFieldIsWritten) {
  json reply = save(R"("title":"T")");
  EXPECT_EQ(reply["notes"], "");
  EXPECT_EQ(reply["priority"], 0);
  EXPECT_EQ(ics().find("VALARM"), std::string::npos);  // relative alarms go too
  EXPECT_EQ(ics().find("PRIORITY"), std::string::npos);
  EXPECT_EQ(reply, store.record("inbox/r1"));
}

TEST_F(RemindersCliUpdate, CompletionBothWays) {
  EXPECT_EQ(save(R"("title":"t","completed":true,"previousFields":{"completed":false})")["completed"], true);
  EXPECT_TRUE(holds_line(ics(), "STATUS:COMPLETED"));
  EXPECT_NE(ics().find("\nCOMPLETED:"), std::string::npos);
  EXPECT_EQ(store.record("inbox/r1")["completed"], true);
  EXPECT_EQ(save(R"("title":"t","completed":false,"previousFields":{"completed":true})")["completed"], false);
  EXPECT_TRUE(holds_line(ics(), "STATUS:NEEDS-ACTION"));
  EXPECT_EQ(ics().find("\nCOMPLETED:"), std::string::npos);
  EXPECT_EQ(store.record("inbox/r1")["completed"], false);
}

TEST_F(RemindersCliUpdate, AlarmsSetReplacedAndRemoved) {
  save(R"("title":"t","remindAt":"2025-03-01T09:30:00.750+08:00","previousFields":{"remindAt":null})");
  EXPECT_EQ(store.record("inbox/r1")["remindAt"], "2025-03-01T01:30:00+00:00");
  EXPECT_TRUE(holds_line(ics(), "TRIGGER;VALUE=DATE-TIME:20250301T013000Z"));
  EXPECT_EQ(ics().find("TRIGGER:-PT15M"), std::string::npos);
  save(R"("title":"t","previousFields":{"remindAt":"2025-03-01T01:30:00Z"})");
  EXPECT_EQ(store.record("inbox/r1")["remindAt"], nullptr);
  EXPECT_EQ(ics().find("VALARM"), std::string::npos);
}

TEST_F(RemindersCliUpdate, TheFirstAndLastAlarmsAFileCanHold) {
  const struct {
    const char* remind_at;
    const char* stored;
    const char* trigger;
  } cases[] = {
      {"3000-12-31T23:59:59Z", "3000-12-31T23:59:59+00:00", "TRIGGER;VALUE=DATE-TIME:30001231T235959Z"},
      {"3001-01-01T07:59:59+08:00", "3000-12-31T23:59:59+00:00", "TRIGGER;VALUE=DATE-TIME:30001231T235959Z"},
      {"0000-01-01T01:00:00+01:00", "0000-01-01T00:00:00+00:00", "TRIGGER;VALUE=DATE-TIME:00000101T000000Z"},
  };
  for (const auto& c : cases) {
    json reply = save(std::string(R"("title":"t","remindAt":")") + c.remind_at + R"(")");
    EXPECT_EQ(reply["remindAt"], c.stored) << c.remind_at;
    EXPECT_EQ(reply, store.record("inbox/r1")) << c.remind_at;
    EXPECT_TRUE(holds_line(ics(), c.trigger)) << c.remind_at << "\n" << ics();
  }
}

// No file can hold a NUL in a text: it is left out, and the reply is what every
// later read gives.
TEST_F(RemindersCliUpdate, NulCharactersAreLeftOutOfTheTextsAndTheReply) {
  const struct {
    const char* keys;
    const char* title;
    const char* notes;
    const char* summary;
  } cases[] = {
      {R"("title":"a\u0000b","notes":"x\u0000y\u0000")", "ab", "xy", "SUMMARY:ab"},
      {R"("title":"\u0000 Lunch \u0000","notes":"\u0000")", "Lunch", "", "SUMMARY:Lunch"},
      {R"("title":"\u0000t\u0000\u0000","notes":"line 1\n\u0000line 2")", "t", "line 1\nline 2", "SUMMARY:t"},
  };
  for (const auto& c : cases) {
    json reply = save(c.keys);
    EXPECT_EQ(reply["title"], c.title) << c.keys;
    EXPECT_EQ(reply["notes"], c.notes) << c.keys;
    EXPECT_EQ(reply, store.record("inbox/r1")) << c.keys;
    EXPECT_TRUE(holds_line(ics(), c.summary)) << c.keys << "\n" << ics();
  }
  json created = store.reply("reminders-save", save_request(R"("clientId":"c\u0000d","title":"new\u0000 one")"));
  EXPECT_EQ(created["title"], "new one");
  EXPECT_EQ(created["clientId"], std::string("c\0d", 3));
  EXPECT_EQ(created, store.record(created["id"]));
}

TEST_F(RemindersCliUpdate, DueFormsAsStoredAndAsReadBack) {
  const struct {
    const char* due;
    const char* stored_line;
    const char* read_back;
  } cases[] = {
      {"2025-03-01", "DUE;VALUE=DATE:20250301", "2025-03-01"},
      {"2025-03-01T09:30", "DUE:20250301T093000", "2025-03-01T09:30"},
      {"2025-03-01T09:30:00+08:00", "DUE;TZID=GMT+0800:20250301T093000", "2025-03-01T09:30:00+08:00"},
      {"2025-03-01T09:30:15-05:30", "DUE;TZID=GMT-0530:20250301T093015", "2025-03-01T09:30:15-05:30"},
      {"2025-03-01T09:30:00.5Z", "DUE:20250301T093000Z", "2025-03-01T09:30:00+00:00"},
  };
  for (const auto& c : cases) {
    json reply = save(std::string(R"("title":"t","due":")") + c.due + R"(")");
    EXPECT_TRUE(holds_line(ics(), c.stored_line)) << c.due << "\n" << ics();
    EXPECT_EQ(store.record("inbox/r1")["due"], c.read_back) << c.due;
  }
  EXPECT_EQ(store.failure("reminders-save", save_request(R"("id":"inbox/r1","title":"t","due":"2025-3-1")")),
            "截止日期无效");
  EXPECT_EQ(store.failure("reminders-save", save_request(R"("id":"inbox/r1","title":"t","due":"2025-03-01 09:30")")),
            "截止时间无效");
  EXPECT_EQ(store.record("inbox/r1")["due"], "2025-03-01T09:30:00+00:00");
}

TEST_F(RemindersCliUpdate, RepetitionAddedChangedKeptAndRemoved) {
  auto rules = [&] { return store.record("inbox/r1")["recurrenceRules"].dump(); };
  save(R"("title":"t","due":"2025-03-03","recurrenceRules":[{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0}]}])");
  EXPECT_EQ(rules(), R"([{"daysOfWeek":[{"day":2,"week":0}],"frequency":"weekly","interval":1}])");
  EXPECT_TRUE(holds_line(ics(), "DTSTART;VALUE=DATE:20250303")) << ics();

  save(R"("title":"t","due":"2025-03-03","recurrenceRules":[{"frequency":"monthly","interval":2,"end":{"until":"2025-12-31T16:00:00Z"}}])");
  EXPECT_EQ(rules(), R"([{"end":{"until":"2025-12-31T16:00:00+00:00"},"frequency":"monthly","interval":2}])");
  EXPECT_TRUE(holds_line(ics(), "RRULE:FREQ=MONTHLY;UNTIL=20251231T160000Z;INTERVAL=2")) << ics();

  save(R"("title":"t","due":"2025-03-03","recurrenceRules":null)");
  EXPECT_EQ(rules(), R"([{"end":{"until":"2025-12-31T16:00:00+00:00"},"frequency":"monthly","interval":2}])");
  EXPECT_EQ(store.failure("reminders-save", save_request(R"("id":"inbox/r1","title":"t","previousFields":{})")),
            "重复提醒事项需要截止日期");

  save(R"("title":"t","recurrenceRules":[],"due":null)");
  EXPECT_EQ(rules(), "[]");
  EXPECT_EQ(ics().find("RRULE"), std::string::npos);
}

TEST_F(RemindersCliUpdate, ACountedEndIsCheckedThroughAFreshStore) {
  json reply = save(R"("title":"t","due":"2025-03-03","completed":false,
                       "recurrenceRules":[{"frequency":"daily","interval":1,"end":{"count":5}}])");
  EXPECT_EQ(reply["recurrenceRules"].dump(), R"([{"end":{"count":5},"frequency":"daily","interval":1}])");
  EXPECT_TRUE(holds_line(ics(), "RRULE:FREQ=DAILY;COUNT=5")) << ics();
}

TEST_F(RemindersCliUpdate, AnExistingReminderStaysInItsOwnList) {
  std::string request = R"({"listIds":["inbox","work"],"listId":"work","id":"inbox/r1","title":"Moved?",
                            "due":"2025-03-03","completed":false,
                            "recurrenceRules":[{"frequency":"daily","interval":1,"end":{"count":2}}]})";
  json reply = store.reply("reminders-save", request);
  EXPECT_EQ(reply["listId"], "inbox");
  EXPECT_EQ(reply["title"], "Moved?");
  EXPECT_TRUE(store.files("work").empty());
  EXPECT_TRUE(holds_line(ics(), "SUMMARY:Moved?"));
}

TEST_F(RemindersCliUpdate, RefusedSavesLeaveTheFileAsItWas) {
  const std::string before = ics();
  const struct {
    const char* request;
    const char* message;
  } cases[] = {
      {R"({"listIds":["inbox","shared"],"listId":"shared","title":"t"})", "提醒事项列表只读"},
      {R"({"listIds":["inbox"],"listId":"work","title":"t"})", "同步列表不存在"},
      {R"({"listIds":["inbox"],"title":"t"})", "缺少提醒事项列表"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/gone","title":"t"})", "提醒事项已移动或删除，请重新同步。"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"  "})", "任务标题不能为空"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","priority":10})", "优先级必须在 0–9 之间"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"\u0000 \u0000"})", "任务标题不能为空"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","remindAt":"soon"})", "提醒时间无效"},
      // Years a file cannot hold: the trigger would be written as zeros.
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","remindAt":"3001-01-01T00:00:00Z"})",
       "提醒时间无效"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","remindAt":"9999-12-31T23:59:59-12:00"})",
       "提醒时间无效"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","remindAt":"0000-01-01T00:59:59+01:00"})",
       "提醒时间无效"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","recurrenceRules":[{"frequency":"daily"}]})",
       "重复规则格式无效"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","recurrenceRules":[{"frequency":"daily","interval":1}]})",
       "重复提醒事项需要截止日期"},
      {R"({"listIds":["inbox"],"listId":"inbox","id":"inbox/r1","title":"t","parentId":null})",
       "Apple 公开接口不支持原生子任务、标签或智能清单写入"},
  };
  for (const auto& c : cases) EXPECT_EQ(store.failure("reminders-save", c.request), c.message) << c.request;
  EXPECT_EQ(ics(), before);
  EXPECT_EQ(store.files("inbox"), std::vector<std::string>{"r1.ics"});
}

TEST_F(RemindersCliUpdate, ARemovalFromAReadOnlyListIsThePlatformsMessage) {
  RunResult r = store.run("reminders-delete", R"({"listIds":["shared"],"id":"shared/s1"})");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(store.files("shared"), std::vector<std::string>{"s1.ics"});
}

TEST_F(RemindersCliUpdate, DeleteRemovesTheFileAndAMissingReminderIsNoFailure) {
  EXPECT_EQ(store.run("reminders-delete", R"({"listIds":["inbox"],"clientId":"task-9"})").out, "null\n");
  EXPECT_TRUE(store.files("inbox").empty());
  RunResult again = store.run("reminders-delete", R"({"listIds":["inbox"],"id":"inbox/r1"})");
  EXPECT_EQ(again.out, "null\n");
  EXPECT_EQ(again.exit_status, 0);
}

}  // namespace
