// The first events of a window: what the store answers when the caller reads only
// so many must be exactly the head of the whole window's answer.

#include <gtest/gtest.h>

#include "local_store/event_test_env.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::EntityType;
using platform::local::testing::utc;

std::string vevent(const std::string& uid, const std::string& lines) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid +
         "\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

class FirstEventsTest : public testing::Test {
 protected:
  FirstEventsTest() {
    settings_.zone("America/New_York");
    folder_.add_collection("a", "A", "VEVENT");
    folder_.add_collection("b", "B", "VEVENT");
    // Series that began long before the windows, with and without an end.
    folder_.write("a/daily.ics", vevent("daily", "DTSTART:20240105T080000Z\r\nDTEND:20240105T083000Z\r\n"
                                                 "RRULE:FREQ=DAILY\r\n"));
    folder_.write("a/weekly.ics", vevent("weekly", "DTSTART;TZID=America/New_York:20240102T090000\r\n"
                                                   "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;BYDAY=TU,TH;COUNT=400\r\n"));
    folder_.write("b/hourly-ish.ics", vevent("often", "DTSTART:20250301T000000Z\r\nDTEND:20250301T000000Z\r\n"
                                                      "RRULE:FREQ=DAILY;BYHOUR=0,6,12,18\r\n"));
    // Series that leave most of each day free: a UTC one late in the
    // day, a zoned one early, and one that moves between days.
    folder_.write("a/late.ics", vevent("late", "DTSTART:20240303T223000Z\r\nDTEND:20240303T233000Z\r\n"
                                               "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,SU\r\n"));
    folder_.write("b/tokyo.ics", vevent("tokyo", "DTSTART;TZID=Asia/Tokyo:20250110T070000\r\n"
                                                 "DTEND;TZID=Asia/Tokyo:20250110T073000\r\nRRULE:FREQ=DAILY\r\n"));
    folder_.write("b/monthly.ics", vevent("monthly", "DTSTART:20250105T163000Z\r\nDURATION:PT45M\r\n"
                                                     "RRULE:FREQ=MONTHLY;BYMONTHDAY=2,5,9\r\n"));
    // A long event running into every window, all-day days and same-instant starts.
    folder_.write("b/long.ics", vevent("long", "DTSTART:20250101T000000Z\r\nDTEND:20260101T000000Z\r\n"));
    for (int day = 1; day <= 60; ++day) {
      char date[16];
      std::snprintf(date, sizeof date, "202503%02d", day % 28 + 1);
      std::string uid = "single" + std::to_string(day);
      folder_.write((day % 2 ? "a/" : "b/") + uid + ".ics",
                    vevent(uid, day % 3 ? "DTSTART:" + std::string(date) + "T120000Z\r\nDTEND:" + date + "T130000Z\r\n"
                                        : "DTSTART;VALUE=DATE:" + std::string(date) + "\r\n"));
    }
  }
  std::vector<std::string> keys(const std::vector<platform::Event>& events) {
    std::vector<std::string> out;
    for (const auto& e : events) out.push_back(e.calendar_item_identifier + "@" + std::to_string(e.start_date.seconds_since_1970));
    return out;
  }
  platform::local::testing::MachineSettings settings_;
  store_test::StoreFolder folder_;
};

struct Window {
  double start, end;
};

TEST_F(FirstEventsTest, AreTheHeadOfTheWholeAnswer) {
  const Window windows[] = {{utc(2025, 3, 20), utc(2025, 3, 21)},   {utc(2025, 3, 2), utc(2025, 3, 2, 1)},  {utc(2025, 3, 2), utc(2025, 3, 3)},
                            {utc(2025, 3, 2, 7), utc(2025, 3, 12)}, {utc(2025, 3, 1), utc(2026, 4, 1)},
                            {utc(2025, 3, 1), utc(2031, 1, 1)},     {utc(2025, 3, 2), utc(2025, 3, 2)},
                            {utc(2025, 3, 9, 23), utc(2025, 3, 16)}, {utc(2025, 3, 4, 22, 45), utc(2025, 3, 6)},
                            {utc(2025, 3, 5), utc(2025, 3, 25)}};
  // One store asked every window in turn answers each as a fresh one does (what it
  // learnt of the files for one window's start holds for no other start).
  platform::local::LocalPlatform shared_platform(folder_.root());
  auto shared_store = shared_platform.open_event_store();
  for (const Window& w : windows) {
    for (std::size_t limit : {0, 1, 2, 5, 17, 60, 800, 100000}) {
      SCOPED_TRACE(std::to_string(w.start) + " to " + std::to_string(w.end) + ", " + std::to_string(limit));
      platform::local::LocalPlatform whole_platform(folder_.root());
      auto whole_store = whole_platform.open_event_store();
      auto calendars = whole_store->calendars_for_entity_type(EntityType::event);
      std::vector<std::string> whole = keys(whole_store->events_matching(Date{w.start}, Date{w.end}, calendars));
      if (whole.size() > limit) whole.resize(limit);
      // A store of its own, as in a process of its own.
      platform::local::LocalPlatform platform(folder_.root());
      auto store = platform.open_event_store();
      EXPECT_EQ(keys(store->first_events_matching(Date{w.start}, Date{w.end},
                                                  store->calendars_for_entity_type(EntityType::event), limit)),
                whole);
      EXPECT_EQ(keys(shared_store->first_events_matching(
                    Date{w.start}, Date{w.end}, shared_store->calendars_for_entity_type(EntityType::event), limit)),
                whole)
          << "asked of one store in turn";
    }
  }
}

}  // namespace
