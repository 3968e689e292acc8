#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "local_store/event_test_env.h"
#include "local_store/store_folder.h"
#include "platform/local/events/event_occurrences.h"
#include "platform/local/index/item_cache.h"
#include "platform/local/local_platform.h"
#include "platform/local/events/reach.h"
#include "platform/local/root/store_root.h"

namespace {

using platform::Date;

// Whether a look at the text alone leaves the file out of [start, end).
bool surely_outside(const std::string& text, Date start, Date end) {
  return !platform::local::reaches(platform::local::text_reach(text), platform::local::days_of(start, end));
}
using platform::local::testing::utc;

std::string event(const std::string& body, const std::string& more = "") {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:x\r\n" + body + "END:VEVENT\r\n" + more +
         "END:VCALENDAR\r\n";
}

struct PrefilterCase {
  const char* name;
  std::string text;
  bool outside;
};

class TextReachTest : public testing::TestWithParam<PrefilterCase> {};

// The window is March 2025.
TEST_P(TextReachTest, SkipsOnlyWhatSurelyMisses) {
  EXPECT_EQ(surely_outside(GetParam().text, Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)}), GetParam().outside);
}

const PrefilterCase kPrefilterCases[] = {
    {"LongBefore", event("DTSTART:20240101T090000Z\r\nDTEND:20240101T100000Z\r\n"), true},
    {"LongAfter", event("DTSTART;TZID=Europe/Berlin:20250601T090000\r\n"), true},
    {"Inside", event("DTSTART:20250310T090000Z\r\n"), false},
    {"DaysBeforeIsTooCloseToTell", event("DTSTART:20250227T230000\r\n"), false},
    {"DaysAfterIsTooCloseToTell", event("DTSTART;VALUE=DATE:20250402\r\n"), false},
    {"EndReachesIn", event("DTSTART:20250101T000000Z\r\nDTEND:20250315T000000Z\r\n"), false},
    {"DurationReachesIn", event("DTSTART:20250101T000000Z\r\nDURATION:P10W\r\n"), false},
    {"ShortDurationBefore", event("DTSTART:20250101T000000Z\r\nDURATION:PT1H\r\n"), true},
    {"HugeDurationUnsure", event("DTSTART:20250101T000000Z\r\nDURATION:P99999W\r\n"), false},
    {"FoldedStart", event("DTSTART;TZID=America/New_Yo\r\n rk:20240101T090000\r\n"), true},
    {"Repeating", event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY\r\n"), false},
    {"RepeatingFromAfter", event("DTSTART:20250410T090000Z\r\nRRULE:FREQ=DAILY\r\n"), true},
    {"RepeatingUntilBefore", event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20250220T000000Z\r\n"), true},
    {"RepeatingUntilDateBefore", event("DTSTART;VALUE=DATE:20240101\r\nRRULE:FREQ=WEEKLY;UNTIL=20250220\r\n"), true},
    {"RepeatingUntilInside", event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20250305T000000Z\r\n"), false},
    {"RepeatingLongEventsReachIn",
     event("DTSTART:20240101T090000Z\r\nDTEND:20240130T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20250210T000000Z\r\n"),
     false},
    {"OneRuleWithoutEnd",
     event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20240201T000000Z\r\nRRULE:FREQ=WEEKLY\r\n"), false},
    {"CountedRuleUnsure", event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"), false},
    {"UnreadableRuleUnsure", event("DTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20240105;X-Y=1\r\n"), false},
    {"ExtraDates", event("DTSTART:20240101T090000Z\r\nRDATE:20250310T090000Z\r\n"), false},
    {"Override", event("DTSTART:20240101T090000Z\r\nRECURRENCE-ID:20240101T090000Z\r\n"), false},
    {"TwoEvents", event("DTSTART:20240101T090000Z\r\n", "BEGIN:VEVENT\r\nDTSTART:20240102T090000Z\r\nEND:VEVENT\r\n"),
     false},
    // A stream: the event of each VCALENDAR counts, however far the first lies.
    {"EventsOfAStream", event("DTSTART:20240101T090000Z\r\n") + event("DTSTART:20250310T090000Z\r\n"), false},
    {"ZoneRulesDoNotCount",
     event("DTSTART;TZID=Europe/Berlin:20240101T090000\r\n",
           "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
           "END:VTIMEZONE\r\n"),
     true},
    {"AlarmLinesDoNotCount",
     event("DTSTART:20240101T090000Z\r\nBEGIN:VALARM\r\nTRIGGER;VALUE=DATE-TIME:20250310T000000Z\r\nEND:VALARM\r\n"),
     true},
    // An END that closes another component than the last BEGIN: libical may join the lines otherwise.
    {"ComponentsThatDoNotNest", event("DTSTART:20240101T090000Z\r\nBEGIN:VALARM\r\n"), false},
    {"NoStart", event("SUMMARY:x\r\n"), false},
    {"UnreadableStart", event("DTSTART:someday\r\n"), false},
    {"UnreadableEnd", event("DTSTART:20240101T090000Z\r\nDTEND:later\r\n"), false},
    {"NotAnEvent", "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nDUE:20200101\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", false},
    {"Garbage", "\x01\x02 not a calendar", false},
};

INSTANTIATE_TEST_SUITE_P(Texts, TextReachTest, testing::ValuesIn(kPrefilterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextReach, FarWindowsAreNeverSure) {
  std::string text = event("DTSTART:20240101T090000Z\r\n");
  EXPECT_FALSE(surely_outside(text, Date{-1e300}, Date{utc(2025, 1, 1)}));
  EXPECT_FALSE(surely_outside(text, Date{utc(2025, 1, 1)}, Date{std::nan("")}));
}

// The store's query, which skips files, finds exactly what a query over every
// parsed file finds, for events all around a window's edges and in many zones.
TEST(TextReach, QueryFindsWhatAFullReadFinds) {
  platform::local::testing::MachineSettings settings;
  settings.zone("Pacific/Kiritimati");
  store_test::StoreFolder folder;
  folder.add_collection("cal", "", "VEVENT");
  const char* zones[] = {"Pacific/Kiritimati", "Pacific/Pago_Pago", "UTC", "Asia/Kathmandu"};
  int n = 0;
  for (double edge : {utc(2025, 3, 1), utc(2025, 4, 1)}) {
    // Wall times every seven hours from five days before the edge to five days after.
    for (double at = edge - 5 * 86400; at <= edge + 5 * 86400; at += 7 * 3600) {
      auto seconds = static_cast<long long>(at);
      long long day_count = seconds / 86400;
      long long in_day = seconds % 86400;
      std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day_count}}};
      char wall[32];
      std::snprintf(wall, sizeof wall, "%04d%02u%02uT%02lld%02lld00", static_cast<int>(ymd.year()),
                    static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), in_day / 3600,
                    in_day % 3600 / 60);
      for (const char* zone : zones) {
        std::string body = std::string("DTSTART;TZID=") + zone + ":" + wall + "\r\nDURATION:PT" +
                           std::to_string(n % 30) + "H\r\n";
        folder.write("cal/e" + std::to_string(n++) + ".ics", event(body));
      }
      std::string all_day = std::string("DTSTART;VALUE=DATE:") + std::string(wall).substr(0, 8) + "\r\n";
      folder.write("cal/d" + std::to_string(n++) + ".ics", event(all_day));
    }
  }
  Date start{utc(2025, 3, 1)}, end{utc(2025, 4, 1)};
  platform::local::ItemCache cache(folder.root(), platform::local::store_owner(folder.root()));
  // Every file read and expanded, none turned down.
  auto read = cache.events_in("cal", platform::local::kEveryDay);
  ASSERT_TRUE(read.ok());
  std::vector<platform::local::EventSource> sources;
  for (const auto& [name, events] : read.value()) sources.push_back({events, "cal/" + name, nullptr});
  auto expected = platform::local::events_in_window(sources, start, end);

  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto found = store->events_matching(start, end, store->calendars_for_entity_type(platform::EntityType::event));
  ASSERT_EQ(found.size(), expected.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].calendar_item_identifier, expected[i].calendar_item_identifier);
    EXPECT_EQ(found[i].start_date, expected[i].start_date);
  }
  EXPECT_GT(found.size(), 0u);
  EXPECT_LT(found.size(), read.value().size());
}

}  // namespace
