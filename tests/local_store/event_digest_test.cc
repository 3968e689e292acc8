// The index's compact form of a file's events: what it gives back must be what
// the file gives, on every machine zone, and anything it cannot read sends the
// store back to the file.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "local_store/exported_calendars.h"
#include "local_store/store_folder.h"
#include "platform/local/events/reach.h"
#include "platform/local/index/event_digest.h"
#include "platform/local/local_platform.h"

namespace {

using platform::Date;
using platform::EntityType;
using platform::local::testing::utc;
using platform::local::testing::vcalendar;

// Every field of every occurrence, one line each.
std::string describe(const std::vector<platform::Event>& events) {
  std::string out;
  for (const platform::Event& e : events) {
    char times[96];
    std::snprintf(times, sizeof times, "%.3f %.3f", e.start_date.seconds_since_1970, e.end_date.seconds_since_1970);
    out += e.event_identifier.value_or("-") + "|" + e.calendar_item_identifier + "|" + e.external_identifier.value_or("-") + "|" +
           e.title + "|" + e.location.value_or("-") + "|" + e.notes.value_or("-") + "|" + times + "|" +
           (e.is_all_day ? "all-day" : "timed") + "|" + (e.time_zone ? e.time_zone->name() : "-") + "|" +
           (e.has_recurrence_rules ? "repeats" : "once") + "|" + (e.calendar ? e.calendar->identifier : "-") + "\n";
  }
  return out;
}

std::string vevent(const std::string& body) { return "BEGIN:VEVENT\r\n" + body + "END:VEVENT\r\n"; }

struct Shape {
  const char* name;
  std::string text;
};
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }

// The store generator's kinds of events, and what other programs export.
const Shape kShapes[] = {
    {"AllDayOverThreeDays",
     vcalendar(vevent("UID:a\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20250308\r\nDTEND;VALUE=DATE:20250311\r\n"))},
    {"FloatingWithDuration", vcalendar(vevent("UID:f\r\nSUMMARY:Gym\r\nDTSTART:20250309T013000\r\nDURATION:PT90M\r\n"))},
    {"FloatingEndOverTheClockChange",
     vcalendar(vevent("UID:g\r\nSUMMARY:Night\r\nDTSTART:20250309T000000\r\nDTEND:20250309T050000\r\n"
                      "RRULE:FREQ=WEEKLY;COUNT=40\r\n"))},
    {"NamedZoneWithoutDefinition",
     vcalendar(vevent("UID:z\r\nSUMMARY:Call\r\nLOCATION:Room 4\r\nDTSTART;TZID=America/New_York:20250310T090000\r\n"
                      "DTEND;TZID=America/New_York:20250310T100000\r\n"))},
    {"WeeklyOnDaysWithIntervalAndExdate",
     vcalendar(vevent("UID:w\r\nSUMMARY:Standup\r\nDESCRIPTION:Agenda\\nPoint one\\, point two\r\n"
                      "DTSTART;TZID=Europe/Berlin:20240102T093000\r\nDTEND;TZID=Europe/Berlin:20240102T094500\r\n"
                      "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TU,TH\r\n"
                      "EXDATE;TZID=Europe/Berlin:20250311T093000\r\n"))},
    {"DailyUntilWithRdate",
     vcalendar(vevent("UID:d\r\nSUMMARY:Daily\r\nDTSTART:20250301T120000Z\r\nDTEND:20250301T123000Z\r\n"
                      "RRULE:FREQ=DAILY;UNTIL=20250320T120000Z\r\nRDATE:20250325T140000Z\r\n"))},
    {"PeriodRdates",
     vcalendar(vevent("UID:p\r\nSUMMARY:Sessions\r\nDTSTART:20250303T090000\r\nDURATION:PT1H\r\n"
                      "RDATE;VALUE=PERIOD:20250308T220000/20250309T040000,20250312T100000/PT2H30M\r\n"))},
    {"TwoRulesAndCount",
     vcalendar(vevent("UID:r\r\nSUMMARY:Both\r\nDTSTART:20250301T080000Z\r\nDURATION:P1DT1H\r\n"
                      "RRULE:FREQ=MONTHLY;BYMONTHDAY=1,15;COUNT=30\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"))},
    {"AllDayRuleWithDateTimeUntil",
     vcalendar(vevent("UID:u\r\nSUMMARY:Bins\r\nDTSTART;VALUE=DATE:20250303\r\n"
                      "RRULE:FREQ=WEEKLY;UNTIL=20250324T230000Z\r\n"))},
    {"ScaledRule",
     vcalendar(vevent("UID:h\r\nSUMMARY:Feast\r\nDTSTART;VALUE=DATE:20250301\r\n"
                      "RRULE:RSCALE=HEBREW;FREQ=YEARLY;COUNT=5\r\n"))},
    {"EndlessSinceLongAgo",
     vcalendar(vevent("UID:e\r\nSUMMARY:Old\r\nDTSTART:19990104T070000Z\r\nDTEND:19990104T073000Z\r\n"
                      "RRULE:FREQ=DAILY\r\n"))},
    {"OverridesInTwoRevisions",
     vcalendar(vevent("UID:o\r\nSUMMARY:Review\r\nDTSTART:20250303T150000Z\r\nDTEND:20250303T160000Z\r\n"
                      "RRULE:FREQ=WEEKLY;COUNT=6\r\n") +
               vevent("UID:o\r\nSEQUENCE:2\r\nRECURRENCE-ID:20250310T150000Z\r\nSUMMARY:Review (new)\r\n"
                      "DTSTART:20250311T150000Z\r\nDTEND:20250311T160000Z\r\n") +
               vevent("UID:o\r\nSEQUENCE:1\r\nRECURRENCE-ID:20250310T150000Z\r\nSUMMARY:Review (old)\r\n"
                      "DTSTART:20250312T150000Z\r\nDTEND:20250312T160000Z\r\n") +
               vevent("UID:o\r\nRECURRENCE-ID;VALUE=DATE:20250317\r\nSUMMARY:Review (by day)\r\n"
                      "DTSTART:20250318T080000\r\n"))},
    // Its length differs from zone to zone: the end is an instant, the start a wall time.
    {"FloatingStartUtcEndWeekly",
     vcalendar(vevent("UID:m\r\nSUMMARY:Late\r\nDTSTART:20250303T230000\r\nDTEND:20250304T120000Z\r\n"
                      "RRULE:FREQ=WEEKLY;BYDAY=MO\r\n"))},
    // A UTC series with days free between its occurrences.
    {"UtcWeeklyOverMidnight",
     vcalendar(vevent("UID:n\r\nSUMMARY:Late call\r\nDTSTART:20250303T230000Z\r\nDTEND:20250304T013000Z\r\n"
                      "RRULE:FREQ=WEEKLY;BYDAY=MO\r\nRDATE:20250306T220000\r\n"))},
    // A UTC start whose end is a wall time elsewhere: the length is the same on every
    // machine zone, but another frame's end still gets the margin.
    {"UtcStartZonedEnd",
     vcalendar(vevent("UID:k\r\nSUMMARY:Hand-over\r\nDTSTART:20250303T200000Z\r\n"
                      "DTEND;TZID=Asia/Tokyo:20250304T080000\r\nRRULE:FREQ=WEEKLY\r\n"))},
    {"UtcStartFloatingEnd",
     vcalendar(vevent("UID:l\r\nSUMMARY:Overnight\r\nDTSTART:20250303T200000Z\r\nDTEND:20250304T060000\r\n"
                      "RRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\n"))},
    // A floating start and end: the length differs with the machine zone's clock
    // changes (New York's in March, Sydney's in April fall within it), so the UTC
    // RDATE's occurrence ends later on some machines than on others.
    {"FloatingLengthWithUtcRdate",
     vcalendar(vevent("UID:q\r\nSUMMARY:Long\r\nDTSTART:20250305T120000\r\nDTEND:20250410T120000\r\n"
                      "RRULE:FREQ=YEARLY;COUNT=2\r\nRDATE:20250501T231500Z\r\n"))},
    {"SpacesAroundTexts", vcalendar(vevent("UID:s\r\nSUMMARY:  Lunch  \r\nDESCRIPTION:\r\nDTSTART:20250305T120000Z\r\n"))},
    {"GoogleExport", store_test::kGoogleExport},
    {"OutlookExport", store_test::kOutlookExport},
    {"BareEvent", vevent("UID:b\r\nSUMMARY:Bare\r\nDTSTART:20250306T100000Z\r\n")},
};

// Machine zones on both sides of UTC, one without a clock change.
const char* const kZones[] = {"UTC", "America/New_York", "Australia/Sydney", "Asia/Kolkata"};

struct Span {
  double start, end;
};
// March 2025 (clock changes on both hemispheres), a week, and twenty years, which
// the query cuts after four: on 2025-03-09, amid the shapes' occurrences.
const Span kSpans[] = {{utc(2025, 3, 1), utc(2025, 4, 15)},
                       {utc(2025, 3, 8), utc(2025, 3, 15)},
                       {utc(2021, 3, 10), utc(2041, 1, 1)}};

// The digest of a file's events as the store makes it from the parsed file.
std::optional<std::string> digest_of(const std::string& text) {
  auto parsed = platform::local::testing::parse_ics(text);
  if (!parsed) return std::nullopt;
  return platform::local::event_digest_of(platform::local::read_file_events(parsed.get(), text));
}

class EventDigestTest : public testing::TestWithParam<Shape> {
 protected:
  platform::local::testing::MachineSettings settings_;
};

TEST_P(EventDigestTest, GivesWhatTheFileGivesOnEveryZone) {
  const std::string& text = GetParam().text;
  auto digest = digest_of(text);
  ASSERT_TRUE(digest.has_value());
  auto calendar = platform::local::testing::test_calendar();
  for (const char* zone : kZones) {
    settings_.zone(zone);
    // Settled on this zone, as a query in a process started there reads it.
    auto back = platform::local::events_from_digest(*digest);
    ASSERT_TRUE(back.has_value());
    platform::local::EventSource source{std::make_shared<platform::local::FileEvents>(std::move(*back)), "home/item",
                                        calendar};
    platform::local::testing::EventFiles file;
    file.add("home/item", text, calendar);
    std::vector<std::string> expected;
    for (const Span& span : kSpans) {
      auto from_file = file.in_window(span.start, span.end);
      auto found = platform::local::events_in_window({source}, Date{span.start}, Date{span.end});
      expected.push_back(describe(from_file));
      EXPECT_EQ(describe(found), expected.back()) << zone << " " << span.start;
      if (&span == &kSpans[0]) {
        EXPECT_FALSE(from_file.empty()) << "a shape with nothing to compare";
      }
    }
    // The rules' steps those windows walked, kept in the digest, answer every window
    // again, in the other order too, as the file does.
    auto walked = platform::local::event_digest_of(*source.events);
    ASSERT_TRUE(walked.has_value());
    auto again = platform::local::events_from_digest(*walked);
    ASSERT_TRUE(again.has_value());
    platform::local::EventSource kept{std::make_shared<platform::local::FileEvents>(std::move(*again)), "home/item",
                                      calendar};
    for (std::size_t i = std::size(kSpans); i-- > 0;) {
      auto found = platform::local::events_in_window({kept}, Date{kSpans[i].start}, Date{kSpans[i].end});
      EXPECT_EQ(describe(found), expected[i]) << zone << " " << kSpans[i].start << " from kept steps";
    }
  }
}

// The days a file's events reach leave a window out only when the file has no
// occurrence in it on any machine zone, whichever zone walked the rules; and they
// do leave out the quiet days of a repeating event.
TEST_P(EventDigestTest, TheReachLeavesOutOnlyWindowsWithoutOccurrences) {
  const std::string& text = GetParam().text;
  auto calendar = platform::local::testing::test_calendar();
  int ruled_out = 0;
  for (const char* walking_zone : kZones) {
    settings_.zone(walking_zone);
    auto parsed = platform::local::testing::parse_ics(text);
    ASSERT_TRUE(parsed);
    auto events = std::make_shared<platform::local::FileEvents>(platform::local::read_file_events(parsed.get(), text));
    platform::local::EventSource source{events, "home/item", calendar};
    (void)platform::local::events_in_window({source}, Date{kSpans[1].start}, Date{kSpans[1].end});
    auto digest = platform::local::event_digest_of(*events);
    ASSERT_TRUE(digest.has_value());
    // As the index keeps it: from the events read back.
    auto kept = platform::local::events_from_digest(*digest);
    ASSERT_TRUE(kept.has_value());
    platform::local::Reach reach = platform::local::events_reach(*kept);
    platform::local::testing::EventFiles file;
    file.add("home/item", text, calendar);
    for (const char* zone : kZones) {
      settings_.zone(zone);
      // Windows from an hour to a week, every three hours.
      for (double start = utc(2025, 1, 1); start < utc(2025, 7, 1); start += 10800.0) {
        for (double days : {1.0 / 24, 0.1, 0.45, 1.0, 7.0}) {
          Date from{start}, to{start + days * 86400};
          if (platform::local::reaches(reach, platform::local::days_of(from, to))) continue;
          ++ruled_out;
          std::string found = describe(file.in_window(from.seconds_since_1970, to.seconds_since_1970));
          EXPECT_EQ(found, "") << walking_zone << " walked, " << zone << " asks from " << start << " for " << days
                               << " days";
        }
      }
    }
  }
  if (std::string(GetParam().name) == "WeeklyOnDaysWithIntervalAndExdate") {
    EXPECT_GT(ruled_out, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, EventDigestTest, testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EventDigestFormTest, AFileOfItsOwnZoneKeepsNone) {
  EXPECT_FALSE(digest_of(vcalendar(std::string(platform::local::testing::kCustomEasternZone) +
                                   vevent("UID:c\r\nDTSTART;TZID=Custom/Eastern:20250310T090000\r\n")))
                   .has_value());
}

// Events a file could not have given, changed after reading: no digest is kept, since
// it would not read back.
struct Unreadable {
  const char* name;
  void (*change)(platform::local::EventComponent&);
};

const Unreadable kUnreadables[] = {
    {"StartMonth13", [](auto& e) { e.start.value.month = 13; }},
    {"DateHourBeyondAnyFile", [](auto& e) { e.start.value.hour = 200000; }},
    {"ZonedWithoutName", [](auto& e) { e.start.zone.kind = platform::local::IcalZone::Kind::zoned; }},
    {"DurationBeyondAnyFile", [](auto& e) { e.duration = icaldurationtype{0, 0x10000000, 0, 0, 0, 0}; }},
    {"PeriodOfNaN", [](auto& e) { e.rdates.front().period_duration_seconds = std::nan(""); }},
    {"RuleOfNoFrequency", [](auto& e) { e.rules.front().rule.freq = ICAL_NO_RECURRENCE; }},
    // Its text names the day alone, which reads back as midnight.
    {"RuleUntilADateWithAnHour", [](auto& e) { e.rules.front().rule.until = icaltimetype{2025, 4, 1, 5, 0, 0, 1, 0, nullptr}; }},
};

class EventDigestRefusalTest : public testing::TestWithParam<Unreadable> {};

TEST_P(EventDigestRefusalTest, KeepsNone) {
  std::string text = vcalendar(vevent("UID:x\r\nDTSTART;VALUE=DATE:20250301\r\nRRULE:FREQ=WEEKLY\r\n"
                                      "RDATE;VALUE=PERIOD:20250312T100000Z/PT2H\r\n"));
  auto parsed = platform::local::testing::parse_ics(text);
  ASSERT_TRUE(parsed);
  platform::local::FileEvents events = platform::local::read_file_events(parsed.get(), text);
  ASSERT_TRUE(platform::local::event_digest_of(events).has_value());
  GetParam().change(*events.items.at(0).master);
  EXPECT_FALSE(platform::local::event_digest_of(events).has_value());
}

INSTANTIATE_TEST_SUITE_P(Changes, EventDigestRefusalTest, testing::ValuesIn(kUnreadables),
                         [](const auto& info) { return std::string(info.param.name); });

// Steps a walk could not have given are left out, and the rest of the digest is kept.
TEST(EventDigestFormTest, StepsOutOfOrderAreLeftOut) {
  std::string text = vcalendar(vevent("UID:x\r\nDTSTART:20250301T090000Z\r\nRRULE:FREQ=DAILY\r\n"));
  auto parsed = platform::local::testing::parse_ics(text);
  ASSERT_TRUE(parsed);
  platform::local::FileEvents events = platform::local::read_file_events(parsed.get(), text);
  auto steps = std::make_shared<platform::local::RuleSteps>();
  steps->walls = {1741000000, 1740900000};
  events.items.at(0).master->rules.at(0).steps = steps;
  auto digest = platform::local::event_digest_of(events);
  ASSERT_TRUE(digest.has_value());
  auto back = platform::local::events_from_digest(*digest);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->items.at(0).master->rules.at(0).steps, nullptr);
  std::swap(steps->walls[0], steps->walls[1]);
  back = platform::local::events_from_digest(platform::local::event_digest_of(events).value());
  ASSERT_TRUE(back.has_value());
  EXPECT_NE(back->items.at(0).master->rules.at(0).steps, nullptr);
}

TEST(EventDigestFormTest, EveryCutOfADigestFailsOrReadsWhole) {
  auto digest = digest_of(store_test::kGoogleExport);
  ASSERT_TRUE(digest.has_value());
  // The same with its rules' steps, as a query leaves them.
  auto events = platform::local::events_from_digest(*digest);
  ASSERT_TRUE(events.has_value());
  platform::local::EventSource source{std::make_shared<platform::local::FileEvents>(std::move(*events)), "home/item",
                                      platform::local::testing::test_calendar()};
  platform::local::events_in_window({source}, Date{utc(2025, 3, 1)}, Date{utc(2025, 4, 1)});
  ASSERT_TRUE(source.events->rule_steps_changed);
  auto walked = platform::local::event_digest_of(*source.events);
  ASSERT_TRUE(walked.has_value());
  ASSERT_GT(walked->size(), digest->size());
  for (const std::string& whole : {*digest, *walked}) {
    for (std::size_t length = 0; length < whole.size(); ++length) {
      EXPECT_FALSE(platform::local::events_from_digest(whole.substr(0, length)).has_value()) << length;
    }
    EXPECT_FALSE(platform::local::events_from_digest(whole + "x").has_value());
    EXPECT_TRUE(platform::local::events_from_digest(whole).has_value());
  }
}

// A store of every shape whose files settled long ago, queried by one process after
// another.
class IndexedEventsTest : public testing::Test {
 protected:
  IndexedEventsTest() {
    settings_.zone("UTC");
    folder_.add_collection("home", "Home", "VEVENT");
    for (const Shape& shape : kShapes) write(std::string("home/") + shape.name + ".ics", shape.text);
  }
  void write(const std::string& relative, const std::string& text) {
    folder_.write(relative, text);
    store_test::set_modified(folder_.path(relative), 1700000000);
  }
  std::string query(const Span& span) {
    platform::local::LocalPlatform platform(folder_.root());
    auto store = platform.open_event_store();
    return describe(store->events_matching(Date{span.start}, Date{span.end},
                                           store->calendars_for_entity_type(EntityType::event)));
  }
  // Every file overwritten in place with text of the same size and time: only the
  // index can still say what they held.
  void blank_the_files() {
    for (const Shape& shape : kShapes) {
      std::string relative = std::string("home/") + shape.name + ".ics";
      write(relative, std::string(shape.text.size(), '\n'));
    }
  }
  std::string index_path() const { return folder_.path(".index.sqlite"); }

  platform::local::testing::MachineSettings settings_;
  store_test::StoreFolder folder_;
};

TEST_F(IndexedEventsTest, AnUnchangedStoreIsAnsweredFromTheIndexAlone) {
  std::vector<std::string> first;
  for (const Span& span : kSpans) first.push_back(query(span));
  blank_the_files();
  for (std::size_t i = 0; i < std::size(kSpans); ++i) EXPECT_EQ(query(kSpans[i]), first[i]);
}

// Windows a calendar asks for one after another: the next weeks, a day amid the
// last window, one long before, one years later, and the long one.
TEST_F(IndexedEventsTest, RulesWalkedForOneWindowAnswerTheNextAsTheFilesDo) {
  const Span windows[] = {{utc(2025, 3, 8), utc(2025, 3, 15)}, {utc(2025, 3, 15), utc(2025, 3, 22)},
                          {utc(2025, 3, 10), utc(2025, 3, 11)}, {utc(2024, 6, 1), utc(2024, 6, 30)},
                          {utc(2025, 3, 1), utc(2025, 4, 15)},  {utc(2030, 1, 1), utc(2030, 1, 8)},
                          {utc(2021, 3, 10), utc(2041, 1, 1)},  {utc(2025, 3, 22), utc(2025, 3, 29)}};
  std::vector<std::string> fresh;
  for (const Span& span : windows) {
    std::filesystem::remove(index_path());
    fresh.push_back(query(span));
  }
  std::filesystem::remove(index_path());
  for (std::size_t i = 0; i < std::size(windows); ++i) EXPECT_EQ(query(windows[i]), fresh[i]) << i;
  // What the index kept alone gives the same again.
  blank_the_files();
  for (std::size_t i = std::size(windows); i-- > 0;) EXPECT_EQ(query(windows[i]), fresh[i]) << i << " index alone";
}

TEST_F(IndexedEventsTest, AZoneChangeGivesWhatAFreshIndexGives) {
  for (const Span& span : kSpans) query(span);
  for (const char* zone : {"America/New_York", "Australia/Sydney"}) {
    settings_.zone(zone);
    for (const Span& span : kSpans) {
      std::string with_index = query(span);
      std::filesystem::remove(index_path());
      EXPECT_EQ(with_index, query(span)) << zone;
    }
  }
}

TEST_F(IndexedEventsTest, ADamagedOrForeignDigestSendsTheStoreBackToTheFile) {
  std::string expected = query(kSpans[0]);
  for (const char* damage : {"x''", "x'02'", "x'0100'", "x'01ffffffff'", "randomblob(40)", "x'010100000000'"}) {
    store_test::sql(index_path(), (std::string("UPDATE items SET events = ") + damage).c_str());
    EXPECT_EQ(query(kSpans[0]), expected) << damage;
  }
}

TEST_F(IndexedEventsTest, AFileChangedInPlaceWithinOneClockTickIsReadAgain) {
  std::string relative = "home/young.ics";
  std::string before = vcalendar(vevent("UID:y\r\nSUMMARY:Before\r\nDTSTART:20250310T090000Z\r\n"));
  std::string after = vcalendar(vevent("UID:y\r\nSUMMARY:After!\r\nDTSTART:20250310T090000Z\r\n"));
  folder_.write(relative, before);
  struct stat first {};
  ASSERT_EQ(::stat(folder_.path(relative).c_str(), &first), 0);
  EXPECT_NE(query(kSpans[0]).find("|Before|"), std::string::npos);
  folder_.write(relative, after);
  store_test::set_modified(folder_.path(relative), first.st_mtim.tv_sec, first.st_mtim.tv_nsec);
  EXPECT_NE(query(kSpans[0]).find("|After!|"), std::string::npos);
}

}  // namespace
