// Repetition rules built by the conversion, saved on reminders of the real local
// store, and read back as records.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "calendar/reminder_recurrence/rule_conversion.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

namespace bridge {
namespace {

namespace fs = std::filesystem;

class RecurrenceStore : public testing::Test {
 protected:
  void SetUp() override {
    // The store creates its root, with its two collections, when it is first opened.
    root_ = folder_.path() / "store";
    setenv("CALENDAR_STORE_DIR", root_.c_str(), 1);
    platform_ = platform::make_default_platform();
    list_ = reminder_list();
    ASSERT_TRUE(list_);
    test_support::write_file(root_ / "access.json", R"({"events": 3, "reminders": 3})");
  }

  void TearDown() override {
    unsetenv("CALENDAR_STORE_DIR");
  }

  platform::CalendarRef reminder_list() {
    auto store = platform_->open_event_store();
    for (const auto& list : store->calendars_for_entity_type(platform::EntityType::reminder)) {
      if (list->identifier == "reminders") return list;
    }
    return nullptr;
  }

  // Reads a reminder through a fresh store, as the next command would.
  std::optional<platform::Reminder> read_back(const std::string& identifier) {
    auto store = platform_->open_event_store();
    auto item = store->calendar_item_with_identifier(identifier);
    if (!item || !std::holds_alternative<platform::Reminder>(*item)) return std::nullopt;
    return std::get<platform::Reminder>(std::move(*item));
  }

  // Builds the rules against the reminder's current ones and saves them on it.
  std::string save_rules(platform::Reminder reminder, const Json& rules) {
    auto built = build_recurrence_rules(rules, reminder.recurrence_rules());
    if (!built.ok()) {
      ADD_FAILURE() << built.error().message;
      return {};
    }
    auto store = platform_->open_event_store();
    reminder.set_recurrence_rules(std::move(built.value()));
    if (auto saved = store->save_reminder(reminder); !saved.ok()) ADD_FAILURE() << saved.error().localized_description;
    return reminder.calendar_item_identifier();
  }

  std::string save_new_reminder_with(const Json& rules) {
    auto store = platform_->open_event_store();
    platform::Reminder reminder = store->new_reminder();
    reminder.set_calendar(list_);
    reminder.set_title("Repeating");
    platform::DateComponents due;
    due.year = 2026, due.month = 3, due.day = 2;
    due.calendar = platform::kGregorianCalendar;
    reminder.set_due_date_components(due);
    reminder.set_start_date_components(due);
    return save_rules(std::move(reminder), rules);
  }

  static Json records_of(const platform::Reminder& reminder) {
    Json records = Json::array();
    if (reminder.recurrence_rules()) {
      for (const auto& rule : *reminder.recurrence_rules()) records.push_back(rule_to_record(rule));
    }
    return records;
  }

  std::string file_text(const std::string& identifier) {
    std::ifstream in(root_ / (identifier + ".ics"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  test_support::TempFolder folder_;
  fs::path root_;
  std::unique_ptr<platform::Platform> platform_;
  platform::CalendarRef list_;
};

TEST_F(RecurrenceStore, NewRulesReadBackAsTheSameRecords) {
  Json rules = Json::parse(
      R"([{"frequency":"weekly","interval":2,"daysOfWeek":[{"day":2,"week":0},{"day":6,"week":0}],)"
      R"("end":{"count":5}},)"
      R"({"frequency":"monthly","interval":1,"daysOfWeek":[{"day":2,"week":1},{"day":6,"week":-1}]},)"
      R"({"frequency":"monthly","interval":3,"daysOfMonth":[1,-1],"setPositions":[-1]},)"
      R"({"frequency":"yearly","interval":1,"monthsOfYear":[3,11],"weeksOfYear":[-53,1],"daysOfYear":[366,-1],)"
      R"("daysOfWeek":[{"day":7,"week":53},{"day":1,"week":-53}]},)"
      R"({"frequency":"daily","interval":32767,"end":{"until":"2026-04-01T00:00:00+08:00"}}])");
  std::string id = save_new_reminder_with(rules);
  auto reminder = read_back(id);
  ASSERT_TRUE(reminder);

  // The same records, the end date now written in UTC.
  Json expected = rules;
  expected[4]["end"]["until"] = "2026-03-31T16:00:00+00:00";
  EXPECT_EQ(records_of(*reminder).dump(), expected.dump());

  std::string text = file_text(id);
  EXPECT_NE(text.find("BYDAY=1MO,-1FR"), std::string::npos) << text;
  EXPECT_NE(text.find("UNTIL=20260331T160000Z"), std::string::npos) << text;
  EXPECT_NE(text.find("COUNT=5"), std::string::npos) << text;
  EXPECT_EQ(text.find("WKST"), std::string::npos) << text;
}

TEST_F(RecurrenceStore, UntilWithMillisecondsIsStoredInWholeSeconds) {
  std::string id = save_new_reminder_with(
      Json::parse(R"([{"frequency":"daily","interval":1,"end":{"until":"2026-04-01 00:00:00.750Z"}}])"));
  auto reminder = read_back(id);
  ASSERT_TRUE(reminder);
  EXPECT_EQ(records_of(*reminder).dump(),
            R"([{"end":{"until":"2026-04-01T00:00:00+00:00"},"frequency":"daily","interval":1}])");
}

TEST_F(RecurrenceStore, ReusedStoredRuleKeepsItsFirstWeekdayWithANewEnd) {
  std::ofstream(root_ / "reminders" / "weekly.ics")
      << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:weekly\r\n"
         "SUMMARY:Weekly\r\nDTSTART;VALUE=DATE:20260302\r\nDUE;VALUE=DATE:20260302\r\n"
         "RRULE:FREQ=WEEKLY;BYDAY=MO;WKST=MO;COUNT=3\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
  auto stored = read_back("reminders/weekly");
  ASSERT_TRUE(stored);
  ASSERT_EQ(records_of(*stored).dump(),
            R"([{"daysOfWeek":[{"day":2,"week":0}],"end":{"count":3},"firstDayOfWeek":2,"frequency":"weekly",)"
            R"("interval":1}])");

  Json changed_end = records_of(*stored);
  changed_end[0]["end"] = {{"count", 7}};
  save_rules(std::move(*stored), changed_end);

  auto reread = read_back("reminders/weekly");
  ASSERT_TRUE(reread);
  EXPECT_EQ(records_of(*reread).dump(),
            R"([{"daysOfWeek":[{"day":2,"week":0}],"end":{"count":7},"firstDayOfWeek":2,"frequency":"weekly",)"
            R"("interval":1}])");
  std::string text = file_text("reminders/weekly");
  EXPECT_NE(text.find("WKST=MO"), std::string::npos) << text;
  EXPECT_NE(text.find("COUNT=7"), std::string::npos) << text;
}

// The largest interval a rule may have is stored as 32767: INTERVAL goes through
// libical's 16-bit field. Enable once the store keeps every editable interval.
TEST_F(RecurrenceStore, LargestEditableIntervalReadsBack) {
  std::string id = save_new_reminder_with(Json::parse(R"([{"frequency":"daily","interval":2147483647}])"));
  auto reminder = read_back(id);
  ASSERT_TRUE(reminder);
  EXPECT_EQ(records_of(*reminder).dump(), R"([{"frequency":"daily","interval":2147483647}])");
}

TEST_F(RecurrenceStore, EmptyRuleListRemovesTheRules) {
  std::string id = save_new_reminder_with(Json::parse(R"([{"frequency":"daily","interval":1}])"));
  auto reminder = read_back(id);
  ASSERT_TRUE(reminder);
  ASSERT_EQ(records_of(*reminder).size(), 1u);

  save_rules(std::move(*reminder), Json::array());
  auto reread = read_back(id);
  ASSERT_TRUE(reread);
  EXPECT_EQ(records_of(*reread), Json::array());
  EXPECT_EQ(file_text(id).find("RRULE"), std::string::npos);
}

}  // namespace
}  // namespace bridge
