#include "calendar/apple/calendar_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "double/platform_double.h"

namespace {

using bridge::CalendarEntry;
using double_platform::PlatformDouble;
using platform::Calendar;
using platform::AuthorizationStatus;
using platform::EntityType;

Calendar calendar(std::string id, std::string title) {
  Calendar c;
  c.identifier = std::move(id);
  c.title = std::move(title);
  return c;
}

std::vector<std::string> ids_of(const std::vector<CalendarEntry>& entries) {
  std::vector<std::string> ids;
  for (const CalendarEntry& e : entries) ids.push_back(e.id);
  return ids;
}

struct SortCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> store;  // id, title in store order
  std::vector<std::string> expected_ids;
};

TEST(ListCalendars, SortsByTitleBytesAndKeepsTheStoreOrderOfEqualTitles) {
  const SortCase cases[] = {
      {"empty store", {}, {}},
      {"byte order, not case-folded",
       {{"w", "Work"}, {"h", "home"}, {"H", "Home"}, {"a", "Archive"}},
       {"a", "H", "w", "h"}},
      {"equal titles keep store order", {{"2", "Same"}, {"1", "Same"}, {"0", "A"}, {"3", "Same"}}, {"0", "2", "1", "3"}},
      {"prefix first", {{"long", "Team Alpha"}, {"short", "Team"}}, {"short", "long"}},
      {"bytes compare unsigned: UTF-8 after ASCII", {{"zh", "日历"}, {"z", "zzz"}, {"e", ""}}, {"e", "z", "zh"}},
      {"only the title is compared", {{"b", "X"}, {"a", "X"}}, {"b", "a"}},
  };
  for (const SortCase& c : cases) {
    PlatformDouble p;
    p.set_status(EntityType::event, AuthorizationStatus::fullAccess);  // a store opened without access lists nothing
    for (const auto& [id, title] : c.store) p.add_calendar(EntityType::event, calendar(id, title));
    auto store = p.open_event_store();
    EXPECT_EQ(ids_of(bridge::list_calendars(*store)), c.expected_ids) << c.name;
  }
}

TEST(ListCalendars, ReadsSourceColourIdAndTitleOnly) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus::fullAccess);
  Calendar with_all = calendar("cal-1", "Work");
  with_all.color.srgb = platform::RgbComponents{1.0, 0.0, 0.5};
  with_all.source = platform::Source{"iCloud"};
  with_all.allows_content_modifications = true;
  p.add_calendar(EntityType::event, with_all);
  p.add_calendar(EntityType::event, calendar("cal-2", "Xtra"));
  p.add_calendar(EntityType::reminder, calendar("list-1", "Inbox"));
  auto store = p.open_event_store();
  std::vector<CalendarEntry> entries = bridge::list_calendars(*store);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (CalendarEntry{"cal-1", "Work", "#FF0080", "iCloud", std::nullopt, false, false}));
  EXPECT_EQ(entries[1], (CalendarEntry{"cal-2", "Xtra", std::nullopt, std::nullopt, std::nullopt, false, false}));
}

TEST(CalendarListJson, EveryEntryHasSevenKeysInByteOrder) {
  std::vector<CalendarEntry> entries = {
      {"cal-1", "Work", "#FF0080", "iCloud", std::nullopt, false, false},
      {"cal-2", "Line\n\"quoted\"", std::nullopt, std::nullopt, std::nullopt, false, false},
  };
  EXPECT_EQ(bridge::calendar_list_json(entries).dump(),
            R"([{"color":"#FF0080","id":"cal-1","primary":false,"source":"iCloud","timeZone":null,)"
            R"("title":"Work","writable":false},{"color":null,"id":"cal-2","primary":false,"source":null,)"
            R"("timeZone":null,"title":"Line\n\"quoted\"","writable":false}])");
  EXPECT_EQ(bridge::calendar_list_json({}).dump(), "[]");
}

}  // namespace
