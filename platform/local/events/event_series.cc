#include "platform/local/events/event_series.h"

#include <algorithm>

#include "platform/local/events/rule_walk.h"

namespace platform::local {

namespace {

constexpr double kDay = 86400;
// A rule with COUNT can only be walked from its DTSTART; past this many steps the rest
// of it is dropped rather than let one file stall the query.
constexpr std::uint64_t kMaxStepsPerRule = 200'000;
// A rule repeating every second would fill memory over a four-year window: one event
// gives at most this many occurrences (the first ones).
constexpr std::size_t kMaxOccurrencesPerSeries = 100'000;
// A rule is walked this much wider than the window asked for, and its dates kept
// when they are not too many (a rule repeating every minute is walked each time).
constexpr double kStepsBefore = 7 * kDay;
constexpr double kStepsAfter = 31 * kDay;

// The occurrences that EXDATE or RECURRENCE-ID values name: by instant, or by date for
// date values and for all-day events.
class OccurrenceNames {
 public:
  OccurrenceNames(const std::vector<IcalTime>& times, bool all_day) {
    for (const IcalTime& time : times) {
      if (all_day || time.is_date()) {
        days_.push_back(day_number(time.value));
      } else if (auto instant = instant_of(time.value, time.zone)) {
        instants_.push_back(instant->seconds_since_1970);
      }
    }
    std::sort(days_.begin(), days_.end());
    std::sort(instants_.begin(), instants_.end());
  }

  bool names(Date start, const icaltimetype& wall) const {
    return (!instants_.empty() && std::binary_search(instants_.begin(), instants_.end(), start.seconds_since_1970)) ||
           (!days_.empty() && std::binary_search(days_.begin(), days_.end(), day_number(wall)));
  }

 private:
  std::vector<double> instants_;
  std::vector<std::int64_t> days_;
};

icaltimetype days_later(const icaltimetype& wall, std::int64_t days) {
  WallTime moved = wall_of(wall);
  moved.day += days;
  auto seconds = wall_time_as_utc_seconds(moved);
  return seconds ? ical_wall(utc_wall_time(Date{*seconds}), wall.is_date != 0) : icaltime_null_time();
}

bool has_by_parts(const icalrecurrencetype& rule) {
  for (const short* part : {rule.by_second, rule.by_minute, rule.by_hour, rule.by_day, rule.by_month_day,
                            rule.by_year_day, rule.by_week_no, rule.by_month, rule.by_set_pos}) {
    if (part[0] != ICAL_RECURRENCE_ARRAY_MAX) return true;
  }
  return rule.rscale != nullptr;
}

// The wall time of a COUNT rule's last date when it is plain arithmetic: without BY
// parts every period gives exactly one date, as long as that date exists in every
// month (day 28 at most) or every year (not 29 February).
std::optional<double> plain_count_end(const icalrecurrencetype& rule, const icaltimetype& first) {
  static constexpr double kPeriodSeconds[] = {1, 60, 3600, kDay, 7 * kDay};
  if (rule.count <= 0 || has_by_parts(rule)) return std::nullopt;
  std::int64_t periods = static_cast<std::int64_t>(rule.count - 1) * std::max<short>(rule.interval, 1);
  WallTime last = wall_of(first);
  switch (rule.freq) {
    case ICAL_MONTHLY_RECURRENCE:
      if (first.day > 28) return std::nullopt;
      last.month += periods;
      return wall_time_as_utc_seconds(last);
    case ICAL_YEARLY_RECURRENCE:
      if (first.month == 2 && first.day == 29) return std::nullopt;
      last.year += periods;
      return wall_time_as_utc_seconds(last);
    case ICAL_NO_RECURRENCE: return std::nullopt;
    default: return wall_seconds(first) + static_cast<double>(periods) * kPeriodSeconds[rule.freq];
  }
}

}  // namespace

std::optional<double> rule_end_wall(const EventRule& source, const icaltimetype& first) {
  icalrecurrencetype rule = source.with_scale();
  std::optional<double> end = plain_count_end(rule, first);
  // UNTIL is compared with wall times a day either side of it (see SeriesCollector::walk_rule).
  if (!icaltime_is_null_time(rule.until) && is_usable_time(rule.until)) {
    double until = wall_seconds(rule.until) + kDay;
    end = end ? std::min(*end, until) : until;
  }
  return end;
}

namespace {

// Everything one master event contributes to the window, kept in the order found.
class SeriesCollector {
 public:
  SeriesCollector(const EventComponent& master, const Window& window, const std::vector<IcalTime>& overridden)
      : master_(master),
        window_(window),
        excluded_(master.exdates, master.is_all_day()),
        replaced_(overridden, master.is_all_day()) {}

  bool full() const { return found_.size() >= kMaxOccurrencesPerSeries; }

  void consider(const icaltimetype& wall, const IcalZone& zone, std::optional<double> period_seconds) {
    std::optional<OccurrenceTimes> times;
    if (period_seconds) {
      if (auto start = instant_of(wall, zone)) times = OccurrenceTimes{*start, Date{start->seconds_since_1970 + *period_seconds}};
    } else {
      times = occurrence_at(master_, wall, zone);
    }
    if (!times || !overlaps(*times, window_)) return;
    if (excluded_.names(times->start, wall) || replaced_.names(times->start, wall)) return;
    // DTSTART and the rule's first date are usually one and the same.
    if (!found_.empty() && found_.back().start == times->start) return;
    found_.push_back(*times);
  }

  void walk_rule(const EventRule& source);
  // Whether some rule was walked anew (and its steps kept with it).
  bool steps_changed() const { return steps_changed_; }

  std::vector<OccurrenceTimes> take() {
    std::stable_sort(found_.begin(), found_.end(),
                     [](const OccurrenceTimes& a, const OccurrenceTimes& b) { return a.start < b.start; });
    // A date that a rule and an RDATE both give is one occurrence.
    auto same_start = [](const OccurrenceTimes& a, const OccurrenceTimes& b) { return a.start == b.start; };
    found_.erase(std::unique(found_.begin(), found_.end(), same_start), found_.end());
    if (found_.size() > kMaxOccurrencesPerSeries) found_.resize(kMaxOccurrencesPerSeries);
    return std::move(found_);
  }

 private:
  bool beyond_until(const icaltimetype& wall, const icaltimetype& until, const std::optional<Date>& until_instant) const;

  const EventComponent& master_;
  Window window_;
  OccurrenceNames excluded_;
  OccurrenceNames replaced_;
  std::vector<OccurrenceTimes> found_;
  bool steps_changed_ = false;
};

bool SeriesCollector::beyond_until(const icaltimetype& wall, const icaltimetype& until,
                                   const std::optional<Date>& until_instant) const {
  if (icaltime_is_null_time(until)) return false;
  if (until.is_date) return day_number(wall) > day_number(until);
  if (until_instant) {
    auto start = instant_of(wall, master_.start.zone);
    return start && *start > *until_instant;
  }
  return wall_seconds(wall) > wall_seconds(until);
}

// Whether steps walked before cover a walk from `from` (or DTSTART) to `to`.
bool steps_cover(const RuleSteps& steps, bool from_first, double from, double to) {
  if (from_first ? !steps.from_first : !(steps.from_first || steps.from <= from)) return false;
  return steps.ended || steps.to >= to;
}

// The iterator works on wall times in the frame of DTSTART, so a zoned rule keeps its
// wall-clock time across a daylight-saving change. UNTIL is checked here rather than by
// libical, which would compare a UTC UNTIL with those wall times as if they were UTC.
void SeriesCollector::walk_rule(const EventRule& source) {
  icalrecurrencetype rule = source.with_scale();
  icaltimetype until = rule.until;
  rule.until = icaltime_null_time();
  // An all-day rule's date-time UNTIL (which RFC 5545 forbids but exports write) ends
  // on that value's own date, a Z value's UTC date: never on the machine's zone.
  if (master_.is_all_day() && !icaltime_is_null_time(until) && !until.is_date) {
    until.is_date = 1;
    until.hour = until.minute = until.second = 0;
    until.zone = nullptr;
  }
  std::optional<Date> until_instant;
  if (!icaltime_is_null_time(until) && !until.is_date && icaltime_is_utc(until)) {
    until_instant = instant_of(until, IcalZone{IcalZone::Kind::utc, {}, nullptr});
  }
  icaltimetype first = master_.start.value;
  first.zone = nullptr;
  // Wall times of occurrence starts that can overlap the window: the wall clock is
  // less than a day off the instant, and a long occurrence starts that much earlier.
  const EventLength& length = master_.length;
  double earliest = window_.start.seconds_since_1970 - (length.nominal_days + 2) * kDay - length.exact_seconds;
  double latest = window_.end.seconds_since_1970 + kDay;

  // A rule that begins after the window or ends before it needs no iterator, which
  // libical builds on an ICU calendar at some cost.
  if (wall_seconds(first) >= latest) return;
  if (!icaltime_is_null_time(until) && wall_seconds(until) < earliest - kDay) return;
  if (auto last = plain_count_end(rule, first); last && *last < earliest) return;

  bool from_first = rule.count != 0 || wall_seconds(first) >= earliest;
  std::shared_ptr<const RuleSteps> steps = source.steps;
  if (!steps || !steps_cover(*steps, from_first, earliest, latest)) {
    // Walked a little wider than the window, so that the next windows a calendar
    // asks for (the following weeks, the growing windows of one query) need no walk;
    // a rule repeating more often than hourly only over the window.
    bool wider = rule.freq != ICAL_SECONDLY_RECURRENCE && rule.freq != ICAL_MINUTELY_RECURRENCE;
    std::optional<double> until_wall;
    if (!icaltime_is_null_time(until)) until_wall = wall_seconds(until);
    WalkSpan span{earliest - (wider ? kStepsBefore : 0), latest + (wider ? kStepsAfter : 0), latest, until_wall};
    auto walked = std::make_shared<RuleSteps>(platform::local::walk_rule(rule, first, span));
    steps = walked;
    if (walked->walls.size() <= kMostKeptSteps) {
      source.steps = std::move(walked);
      steps_changed_ = true;
    }
  }

  // The dates the rule may still give. DTSTART is the first of the COUNT occurrences
  // even when the rule does not give it, while libical counts only the rule's dates.
  std::int64_t left = rule.count > 0 ? rule.count : -1;
  const std::vector<double>& walls = steps->walls;
  for (std::size_t step = 0; step < walls.size() && step < kMaxStepsPerRule && left != 0 && !full(); ++step) {
    double at = walls[step];
    if (step == 0 && left > 0 && at != wall_seconds(first) && --left == 0) break;
    if (left > 0) --left;
    if (at >= latest) break;
    icaltimetype wall = ical_wall(utc_wall_time(Date{at}), first.is_date != 0);
    if (beyond_until(wall, until, until_instant)) break;
    if (at >= earliest) consider(wall, master_.start.zone, std::nullopt);
  }
}

}  // namespace

bool overlaps(const OccurrenceTimes& occurrence, const Window& window) {
  if (occurrence.end == occurrence.start) return occurrence.start >= window.start && occurrence.start < window.end;
  return occurrence.start < window.end && occurrence.end > window.start;
}

std::optional<OccurrenceTimes> occurrence_at(const EventComponent& event, const icaltimetype& wall,
                                             const IcalZone& zone) {
  if (event.is_all_day()) {
    icaltimetype day = wall;
    day.is_date = 1;
    auto start = instant_of(day, zone);
    auto after = instant_of(days_later(day, event.length.nominal_days), zone);
    if (!start || !after) return std::nullopt;
    return OccurrenceTimes{*start, Date{std::max(start->seconds_since_1970, after->seconds_since_1970 - 1)}};
  }
  auto start = instant_of(wall, zone);
  if (!start) return std::nullopt;
  Date end = *start;
  if (event.length.nominal_days != 0) {
    auto later = instant_of(days_later(wall, event.length.nominal_days), zone);
    if (!later) return std::nullopt;
    end = *later;
  }
  end.seconds_since_1970 = std::max(start->seconds_since_1970, end.seconds_since_1970 + event.length.exact_seconds);
  return OccurrenceTimes{*start, end};
}

std::vector<OccurrenceTimes> series_in_window(const EventComponent& master, const Window& window,
                                              const std::vector<IcalTime>& overridden, bool* rule_steps_changed) {
  SeriesCollector collector(master, window, overridden);
  // DTSTART is always the first occurrence, whether or not the rules give it.
  collector.consider(master.start.value, master.start.zone, std::nullopt);
  for (const EventRule& rule : master.rules) collector.walk_rule(rule);
  for (const RecurrenceDate& date : master.rdates) {
    if (collector.full()) break;
    collector.consider(date.start.value, date.start.zone, date.period_seconds);
  }
  if (rule_steps_changed && collector.steps_changed()) *rule_steps_changed = true;
  return collector.take();
}


}  // namespace platform::local
