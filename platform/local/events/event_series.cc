#include "platform/local/events/event_series.h"

#include <algorithm>
#include <iterator>

#include "platform/local/events/rule_walk.h"
#include "platform/local/ical/rule_reach.h"

namespace platform::local {

namespace {

// The most occurrences one event gives, the first ones: a rule may repeat every second.
constexpr std::size_t kMaxOccurrencesPerSeries = 100'000;
// A rule is walked this much wider than the window asked for.
constexpr double kStepsBefore = 7 * kDay;
constexpr double kStepsAfter = 31 * kDay;

icaltimetype days_later(const icaltimetype& wall, std::int64_t days) {
  WallTime moved = wall_of(wall);
  moved.day += days;
  auto seconds = wall_time_as_utc_seconds(moved);
  return seconds ? wall_at(*seconds, wall.is_date != 0) : icaltime_null_time();
}

// A wall time no earlier than a COUNT rule's last date, when each period gives one:
// no BY parts, and a date every month has (day 28 at most) or every year has (not 29
// February). Months and years count at their longest.
std::optional<double> plain_count_end(const icalrecurrencetype& rule, const icaltimetype& first) {
  const short* parts[] = {rule.by_second,   rule.by_minute,  rule.by_hour,  rule.by_day,   rule.by_month_day,
                          rule.by_year_day, rule.by_week_no, rule.by_month, rule.by_set_pos};
  if (rule.count <= 0 || rule.rscale || std::any_of(std::begin(parts), std::end(parts), given)) return std::nullopt;
  if (rule.freq == ICAL_MONTHLY_RECURRENCE && first.day > 28) return std::nullopt;
  if (rule.freq == ICAL_YEARLY_RECURRENCE && first.month == 2 && first.day == 29) return std::nullopt;
  double periods = static_cast<double>(rule.count - 1) * std::max<short>(rule.interval, 1);
  return wall_seconds(first) + periods * longest_period(rule.freq);
}

// Everything one master event gives the window, kept in the order found.
class SeriesCollector {
 public:
  // EXDATEs and overrides name occurrences by instant, or by date for date values and
  // for all-day events.
  SeriesCollector(const EventComponent& master, const TimeSpan& window,
                  const std::vector<const OverrideEvent*>& overrides)
      : master_(master), window_(window) {
    auto name = [&](const IcalTime& time) {
      if (master.is_all_day() || time.is_date()) {
        named_days_.push_back(day_number(time.value));
      } else if (auto instant = instant_of(time.value, time.zone)) {
        named_instants_.push_back(instant->seconds_since_1970);
      }
    };
    for (const IcalTime& time : master.exdates) name(time);
    for (const OverrideEvent* o : overrides) name(*o->event.recurrence_id);
    std::sort(named_days_.begin(), named_days_.end());
    std::sort(named_instants_.begin(), named_instants_.end());
  }

  bool full() const { return found_.size() >= kMaxOccurrencesPerSeries; }

  void consider(const icaltimetype& wall, const IcalZone& zone, std::optional<double> period_seconds = std::nullopt) {
    std::optional<TimeSpan> times;
    if (period_seconds) {
      if (auto start = instant_of(wall, zone)) times = TimeSpan{*start, Date{start->seconds_since_1970 + *period_seconds}};
    } else {
      times = occurrence_at(master_, wall, zone);
    }
    if (!times || !overlaps(*times, window_)) return;
    if (std::binary_search(named_instants_.begin(), named_instants_.end(), times->start.seconds_since_1970) ||
        std::binary_search(named_days_.begin(), named_days_.end(), day_number(wall))) {
      return;
    }
    // DTSTART and the rule's first date are usually one and the same.
    if (!found_.empty() && found_.back().start == times->start) return;
    found_.push_back(*times);
  }

  // Walks the rule on wall times in DTSTART's frame, so that a zoned rule keeps its time
  // of day across a clock change. True when it was walked anew and its steps kept.
  bool walk_rule(const EventRule& source) {
    icalrecurrencetype rule = source.with_scale();
    icaltimetype until = rule.until;
    rule.until = icaltime_null_time();
    // An all-day rule's date-time UNTIL (which exports write) ends on its own date.
    if (master_.is_all_day()) until.is_date = 1;
    auto until_wall = icaltime_is_null_time(until) ? std::nullopt : std::optional<double>(wall_seconds(until));
    icaltimetype first = master_.start.value;
    first.zone = nullptr;
    // Wall times of starts that can overlap the window: a wall clock is less than a day
    // off the instant, and a long occurrence starts that much earlier.
    double earliest =
        window_.start.seconds_since_1970 - (master_.length.nominal_days + 2) * kDay - master_.length.exact_seconds;
    double latest = window_.end.seconds_since_1970 + kDay;
    // A rule that begins after the window or ends before it needs no iterator.
    if (wall_seconds(first) >= latest || (until_wall && *until_wall < earliest - kDay)) return false;
    if (auto last = plain_count_end(rule, first); last && *last < earliest) return false;
    // Steps walked before serve from early enough (DTSTART for COUNT) to past the window.
    std::shared_ptr<const RuleSteps> steps = source.steps;
    bool kept = false;
    if (!steps || !(steps->from_first || (rule.count == 0 && steps->from <= earliest)) ||
        !(steps->ended || steps->to >= latest)) {
      // Walked wider than the window, so that the next windows need no walk; a rule
      // repeating more often than hourly only over the window.
      bool wider = rule.freq != ICAL_SECONDLY_RECURRENCE && rule.freq != ICAL_MINUTELY_RECURRENCE;
      WalkSpan span{earliest - (wider ? kStepsBefore : 0), latest + (wider ? kStepsAfter : 0), latest, until_wall};
      steps = std::make_shared<const RuleSteps>(platform::local::walk_rule(rule, first, span));
      kept = steps->walls.size() <= kMostKeptSteps;
      if (kept) source.steps = steps;
    }
    // DTSTART counts as the first of COUNT even when the rule does not give it.
    std::int64_t left = rule.count > 0 ? rule.count : -1;
    for (std::size_t step = 0; step < steps->walls.size() && left != 0 && !full(); ++step) {
      double at = steps->walls[step];
      if (step == 0 && left > 0 && at != wall_seconds(first) && --left == 0) break;
      if (left > 0) --left;
      if (at >= latest) break;
      icaltimetype wall = wall_at(at, first.is_date != 0);
      if (beyond_until(wall, until)) break;
      if (at >= earliest) consider(wall, master_.start.zone);
    }
    return kept;
  }

  std::vector<TimeSpan> take() {
    std::stable_sort(found_.begin(), found_.end(),
                     [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
    // A date that a rule and an RDATE both give is one occurrence.
    auto same_start = [](const TimeSpan& a, const TimeSpan& b) { return a.start == b.start; };
    found_.erase(std::unique(found_.begin(), found_.end(), same_start), found_.end());
    if (found_.size() > kMaxOccurrencesPerSeries) found_.resize(kMaxOccurrencesPerSeries);
    return std::move(found_);
  }

 private:
  // A date UNTIL is compared by day, a UTC one by instant, any other by wall time.
  bool beyond_until(const icaltimetype& wall, const icaltimetype& until) const {
    if (icaltime_is_null_time(until)) return false;
    if (until.is_date) return day_number(wall) > day_number(until);
    auto end = icaltime_is_utc(until) ? instant_of(until, IcalZone{IcalZone::Kind::utc, {}, nullptr}) : std::nullopt;
    if (!end) return wall_seconds(wall) > wall_seconds(until);
    auto start = instant_of(wall, master_.start.zone);
    return start && *start > *end;
  }

  const EventComponent& master_;
  TimeSpan window_;
  std::vector<double> named_instants_;
  std::vector<std::int64_t> named_days_;
  std::vector<TimeSpan> found_;
};

}  // namespace

std::optional<double> rule_end_wall(const EventRule& source, const icaltimetype& first) {
  icalrecurrencetype rule = source.with_scale();
  std::optional<double> end = plain_count_end(rule, first);
  // UNTIL is compared with wall times a day either side of it.
  if (is_usable_time(rule.until)) {
    double until = wall_seconds(rule.until) + kDay;
    end = end ? std::min(*end, until) : until;
  }
  return end;
}

bool overlaps(const TimeSpan& occurrence, const TimeSpan& window) {
  if (occurrence.end == occurrence.start) return occurrence.start >= window.start && occurrence.start < window.end;
  return occurrence.start < window.end && occurrence.end > window.start;
}

std::optional<TimeSpan> occurrence_at(const EventComponent& event, const icaltimetype& wall,
                                             const IcalZone& zone) {
  icaltimetype first = wall;
  if (event.is_all_day()) first.is_date = 1;
  auto start = instant_of(first, zone);
  auto after = event.length.nominal_days != 0 ? instant_of(days_later(first, event.length.nominal_days), zone) : start;
  if (!start || !after) return std::nullopt;
  // An all-day occurrence ends one second before the midnight after its last day.
  double end = after->seconds_since_1970 + event.length.exact_seconds - (event.is_all_day() ? 1 : 0);
  return TimeSpan{*start, Date{std::max(start->seconds_since_1970, end)}};
}

std::vector<TimeSpan> series_in_window(const EventComponent& master, const TimeSpan& window,
                                              const std::vector<const OverrideEvent*>& overrides,
                                              bool& rule_steps_changed) {
  SeriesCollector collector(master, window, overrides);
  // DTSTART is always the first occurrence, whether or not the rules give it.
  collector.consider(master.start.value, master.start.zone);
  for (const EventRule& rule : master.rules) {
    if (collector.walk_rule(rule)) rule_steps_changed = true;
  }
  for (const RecurrenceDate& date : master.rdates) {
    if (collector.full()) break;
    collector.consider(date.start.value, date.start.zone, date.period_seconds);
  }
  return collector.take();
}

}  // namespace platform::local
