#include "platform/local/events/event_series.h"

#include <algorithm>

#include "platform/local/events/rule_walk.h"

namespace platform::local {

namespace {

// The most occurrences one event gives, the first ones: a rule may repeat every second.
constexpr std::size_t kMaxOccurrencesPerSeries = 100'000;
// More dates than this of one walk are not kept with the rule.
constexpr std::size_t kMostKeptSteps = 4096;
// A rule is walked this much wider than the window asked for.
constexpr double kStepsBefore = 7 * kDay;
constexpr double kStepsAfter = 31 * kDay;

// A date UNTIL is compared by day, a UTC one by instant, any other by wall time.
bool beyond_until(const icaltimetype& wall, const icaltimetype& until, const IcalZone& zone) {
  if (icaltime_is_null_time(until)) return false;
  if (until.is_date) return day_number(wall) > day_number(until);
  auto end = icaltime_is_utc(until) ? instant_of(until, IcalZone{IcalZone::Kind::utc, {}, nullptr}) : std::nullopt;
  if (!end) return wall_seconds(wall) > wall_seconds(until);
  auto start = instant_of(wall, zone);
  return start && *start > *end;
}

// The wall seconds of the rule's dates that may start an occurrence in the window.
// Walked on DTSTART's wall times, a zoned rule keeps its time of day across a change.
std::vector<double> rule_starts(const EventRule& source, const EventComponent& master, const TimeSpan& window,
                                bool& rule_steps_changed) {
  icalrecurrencetype rule = source.with_scale();
  // An all-day rule's date-time UNTIL (which exports write) ends on its own date.
  if (master.is_all_day()) rule.until.is_date = 1;
  icaltimetype first = master.start.value;
  first.zone = nullptr;
  // Wall times of starts that can overlap the window: a wall clock is less than a day
  // off the instant, and a long occurrence starts that much earlier.
  double earliest =
      window.start.seconds_since_1970 - (master.length.nominal_days + 2) * kDay - master.length.exact_seconds;
  double latest = window.end.seconds_since_1970 + kDay;
  // A rule that begins after the window or ends before it needs no iterator.
  if (auto end = rule_end_wall(source, first); wall_seconds(first) >= latest || (end && *end < earliest)) return {};
  // Steps walked before serve from early enough (DTSTART for COUNT) to past the window.
  std::shared_ptr<const RuleSteps> steps = source.steps;
  if (!steps || !(steps->from_first || (rule.count == 0 && steps->from <= earliest)) ||
      !(steps->ended || steps->to >= latest)) {
    // Walked wider than the window, so that the next windows need no walk; a rule
    // repeating more often than hourly only over the window.
    bool wider = rule.freq != ICAL_SECONDLY_RECURRENCE && rule.freq != ICAL_MINUTELY_RECURRENCE;
    double from = earliest - (wider ? kStepsBefore : 0), to = latest + (wider ? kStepsAfter : 0);
    steps = std::make_shared<const RuleSteps>(walk_rule(rule, first, from, to));
    if (steps->walls.size() <= kMostKeptSteps) {
      source.steps = steps;
      rule_steps_changed = true;
    }
  }
  std::vector<double> starts;
  // DTSTART counts as the first of COUNT even when the rule does not give it.
  std::int64_t left = rule.count > 0 ? rule.count : -1;
  for (std::size_t step = 0; step < steps->walls.size() && left != 0; ++step) {
    double at = steps->walls[step];
    if (step == 0 && left > 0 && at != wall_seconds(first) && --left == 0) break;
    if (left > 0) --left;
    if (at >= latest || beyond_until(wall_at(at, first.is_date != 0), rule.until, master.start.zone)) break;
    if (at >= earliest) starts.push_back(at);
  }
  return starts;
}

}  // namespace

bool overlaps(const TimeSpan& occurrence, const TimeSpan& window) {
  if (occurrence.end == occurrence.start) return occurrence.start >= window.start && occurrence.start < window.end;
  return occurrence.start < window.end && occurrence.end > window.start;
}

std::optional<TimeSpan> occurrence_at(const EventComponent& event, const icaltimetype& wall, const IcalZone& zone) {
  icaltimetype first = wall;
  if (event.is_all_day()) first.is_date = 1;
  auto start = instant_of(first, zone);
  auto after = start;
  if (event.length.nominal_days != 0) {
    double later = wall_seconds(first) + static_cast<double>(event.length.nominal_days) * kDay;
    after = instant_of(wall_at(later, first.is_date != 0), zone);
  }
  if (!start || !after) return std::nullopt;
  // An all-day occurrence ends one second before the midnight after its last day.
  double end = after->seconds_since_1970 + event.length.exact_seconds - (event.is_all_day() ? 1 : 0);
  return TimeSpan{*start, Date{std::max(start->seconds_since_1970, end)}};
}

std::vector<TimeSpan> series_in_window(const EventComponent& master, const TimeSpan& window,
                                       const std::vector<const OverrideEvent*>& overrides, bool& rule_steps_changed) {
  // EXDATEs and overrides name occurrences by instant, or by date for date values and
  // for all-day events.
  std::vector<double> named_instants;
  std::vector<std::int64_t> named_days;
  auto name = [&](const IcalTime& time) {
    if (master.is_all_day() || time.is_date()) {
      named_days.push_back(day_number(time.value));
    } else if (auto instant = instant_of(time.value, time.zone)) {
      named_instants.push_back(instant->seconds_since_1970);
    }
  };
  for (const IcalTime& time : master.exdates) name(time);
  for (const OverrideEvent* o : overrides) name(*o->event.recurrence_id);
  std::ranges::sort(named_days);
  std::ranges::sort(named_instants);
  // Kept in the order found, up to the most one event gives.
  std::vector<TimeSpan> found;
  auto consider = [&](const icaltimetype& wall, const IcalZone& zone, std::optional<double> period_seconds) {
    if (found.size() >= kMaxOccurrencesPerSeries) return;
    std::optional<TimeSpan> times;
    if (!period_seconds) {
      times = occurrence_at(master, wall, zone);
    } else if (auto start = instant_of(wall, zone)) {
      times = TimeSpan{*start, Date{start->seconds_since_1970 + *period_seconds}};
    }
    if (!times || !overlaps(*times, window)) return;
    bool named = std::ranges::binary_search(named_instants, times->start.seconds_since_1970) ||
                 std::ranges::binary_search(named_days, day_number(wall));
    // DTSTART and the rule's first date are usually one and the same.
    if (!named && (found.empty() || found.back().start != times->start)) found.push_back(*times);
  };
  // DTSTART is always the first occurrence, whether or not the rules give it.
  consider(master.start.value, master.start.zone, std::nullopt);
  for (const EventRule& rule : master.rules) {
    for (double at : rule_starts(rule, master, window, rule_steps_changed)) {
      consider(wall_at(at, master.is_all_day()), master.start.zone, std::nullopt);
    }
  }
  for (const RecurrenceDate& date : master.rdates) consider(date.start.value, date.start.zone, date.period_seconds);
  std::ranges::stable_sort(found, {}, &TimeSpan::start);
  // A date that a rule and an RDATE both give is one occurrence.
  auto same_start = [](const TimeSpan& a, const TimeSpan& b) { return a.start == b.start; };
  found.erase(std::unique(found.begin(), found.end(), same_start), found.end());
  return found;
}

}  // namespace platform::local
