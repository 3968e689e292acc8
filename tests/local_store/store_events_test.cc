#include <gtest/gtest.h>

#include <filesystem>

#include "local_store/event_test_env.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::EntityType;
using platform::local::testing::utc;

std::string event_file(const std::string& uid, const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\n" + body +
         "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

class StoreEventsTest : public testing::Test {
 protected:
  StoreEventsTest() {
    settings_.zone("UTC");
    folder_.add_collection("home", "Home", "VEVENT");
    folder_.add_collection("work", "Work", "VEVENT");
    folder_.add_collection("todo", "Todo", "VTODO");
    folder_.write("home/b.ics", event_file("b", "SUMMARY:caf\xff\r\nDTSTART:20250301T090000Z\r\nDTEND:20250301T100000Z\r\n"));
    folder_.write("home/a.ics", event_file("a", "SUMMARY:Same start\r\nDTSTART:20250301T090000Z\r\nDURATION:PT30M\r\n"));
    folder_.write("home/later.ics", event_file("l", "SUMMARY:Later\r\nDTSTART:20250420T090000Z\r\n"));
    folder_.write("home/broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:no start\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    folder_.write("work/w.ics", event_file("w", "SUMMARY:Work\r\nDTSTART:20250302T090000Z\r\nDTEND:20250302T100000Z\r\n"));
    folder_.write("todo/t.ics", "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:t\r\nDUE:20250301T090000Z\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
  }
  platform::local::testing::MachineSettings settings_;
  store_test::StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

TEST_F(StoreEventsTest, OccurrencesOfTheChosenCollectionsInOrder) {
  auto store = platform_.open_event_store();
  auto calendars = store->calendars_for_entity_type(EntityType::event);
  ASSERT_EQ(calendars.size(), 2u);
  auto events = store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}, {calendars[0]});
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].calendar_item_identifier, "home/a");
  EXPECT_EQ(events[0].end_date, Date{utc(2025, 3, 1, 9, 30)});
  EXPECT_EQ(events[1].calendar_item_identifier, "home/b");
  EXPECT_EQ(events[1].title, "caf\xef\xbf\xbd");
  EXPECT_EQ(events[1].calendar, calendars[0]);

  auto both = store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}, calendars);
  ASSERT_EQ(both.size(), 3u);
  EXPECT_EQ(both[2].calendar_item_identifier, "work/w");
  EXPECT_TRUE(store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}, {}).empty());
}

TEST_F(StoreEventsTest, LookupByIdentifierGivesTheEvent) {
  auto store = platform_.open_event_store();
  auto item = store->calendar_item_with_identifier("home/b");
  ASSERT_TRUE(item);
  ASSERT_TRUE(std::holds_alternative<platform::Event>(*item));
  const auto& event = std::get<platform::Event>(*item);
  EXPECT_EQ(event.title, "caf\xef\xbf\xbd");
  EXPECT_EQ(event.external_identifier, "b");
  EXPECT_EQ(event.start_date, Date{utc(2025, 3, 1, 9)});
  EXPECT_EQ(event.end_date, Date{utc(2025, 3, 1, 10)});
  EXPECT_EQ(event.time_zone, platform::TimeZone::named("UTC"));
  EXPECT_FALSE(store->calendar_item_with_identifier("home/broken"));
}

TEST_F(StoreEventsTest, VanishedCollectionGivesNoEvents) {
  auto store = platform_.open_event_store();
  auto calendars = store->calendars_for_entity_type(EntityType::event);
  std::filesystem::remove_all(folder_.path("work"));
  auto events = store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}, calendars);
  EXPECT_EQ(events.size(), 2u);
}

struct EventTextCase {
  const char* name;
  const char* file;  // the VCALENDAR's body
  std::optional<std::string> title, location, notes;
};

class EventTextsTest : public testing::TestWithParam<EventTextCase> {};

// Spaces around a value and empty values stay as the file wrote them, both for the
// window query and for the lookup by identifier.
TEST_P(EventTextsTest, ReadAsWritten) {
  platform::local::testing::MachineSettings settings;
  settings.zone("UTC");
  store_test::StoreFolder folder;
  folder.add_collection("home", "Home", "VEVENT");
  folder.write("home/e.ics", std::string("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n") + GetParam().file + "END:VCALENDAR\r\n");
  platform::local::LocalPlatform platform{folder.root()};
  auto store = platform.open_event_store();
  auto events = store->events_matching(Date{utc(2025, 3, 1)}, Date{utc(2025, 3, 2)},
                                       store->calendars_for_entity_type(EntityType::event));
  ASSERT_EQ(events.size(), 1u);
  auto item = store->calendar_item_with_identifier("home/e");
  ASSERT_TRUE(item && std::holds_alternative<platform::Event>(*item));
  for (const platform::Event& event : {events[0], std::get<platform::Event>(*item)}) {
    EXPECT_EQ(event.title, GetParam().title.value_or(""));
    EXPECT_EQ(event.location, GetParam().location);
    EXPECT_EQ(event.notes, GetParam().notes);
  }
}


INSTANTIATE_TEST_SUITE_P(
    Cases, EventTextsTest,
    testing::Values(
        EventTextCase{"Spaces",
                      "BEGIN:VEVENT\r\nUID:e\r\nDTSTART:20250301T090000Z\r\nSUMMARY:  Lunch  \r\n"
                      "LOCATION: Room\\, 4 \r\nDESCRIPTION:\\n x\r\nEND:VEVENT\r\n",
                      "  Lunch  ", " Room, 4 ", "\n x"},
        EventTextCase{"Empty",
                      "BEGIN:VEVENT\r\nUID:e\r\nDTSTART:20250301T090000Z\r\nSUMMARY:\r\nLOCATION:\r\n"
                      "DESCRIPTION:\r\nEND:VEVENT\r\n",
                      "", "", ""},
        EventTextCase{"Absent", "BEGIN:VEVENT\r\nUID:e\r\nDTSTART:20250301T090000Z\r\nEND:VEVENT\r\n", std::nullopt,
                      std::nullopt, std::nullopt}),
    [](const testing::TestParamInfo<EventTextCase>& info) { return std::string(info.param.name); });

}  // namespace
