#include "platform/local/events/rule_walk.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "platform/local/ical/ical_handles.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/rule_reach.h"

namespace platform::local {

namespace {

// The most dates one walk gives, the first ones: a rule may repeat every second.
constexpr std::uint64_t kMaxStepsPerRule = 200'000;

// The longest one period of a frequency lasts, in seconds; libical numbers them from SECONDLY.
double longest_period(icalrecurrencetype_frequency frequency) {
  static constexpr double kLongest[] = {1, 60, 3600, kDay, 7 * kDay, 31 * kDay, 366 * kDay};
  return kLongest[std::clamp<int>(frequency, 0, ICAL_YEARLY_RECURRENCE)];
}

// Puts `at`'s time of day first in the filtering parts of a sub-daily rule, where libical
// begins, so that a walk from `at` stays on the rule's steps; false when a part lacks it.
bool begin_at(icalrecurrencetype& rule, const icaltimetype& at) {
  auto put_first = [](short* part, int value) {
    short* end = part;
    while (*end != ICAL_RECURRENCE_ARRAY_MAX) ++end;
    short* found = std::find(part, end, value);
    if (found != end) std::rotate(part, found, end);
    return part == end || found != end;
  };
  bool minutes = rule.freq == ICAL_SECONDLY_RECURRENCE, hours = minutes || rule.freq == ICAL_MINUTELY_RECURRENCE;
  return (!minutes || put_first(rule.by_minute, at.minute)) && (!hours || put_first(rule.by_hour, at.hour));
}

// Where a sub-daily walk from `from` begins: the period holding `from`, or the first
// later one the filtering parts let through. libical's periods step from DTSTART at the
// first BYHOUR, BYMINUTE and BYSECOND: by INTERVAL units, or by the next larger unit
// when the frequency's own unit has a part.
std::optional<double> sub_daily_start(const icalrecurrencetype& rule, const icaltimetype& first, double from) {
  icaltimetype date = first;
  date.hour = given(rule.by_hour) ? rule.by_hour[0] : first.hour;
  date.minute = given(rule.by_minute) ? rule.by_minute[0] : first.minute;
  date.second = given(rule.by_second) ? rule.by_second[0] : first.second;
  double origin = wall_seconds(date);
  const short* parts[] = {rule.by_second, rule.by_minute, rule.by_hour};  // by frequency
  double step = given(parts[rule.freq]) ? longest_period(static_cast<icalrecurrencetype_frequency>(rule.freq + 1))
                                        : longest_period(rule.freq) * std::max<int>(rule.interval, 1);
  double k = std::max(0.0, std::floor((from - origin) / step));
  // The times of day repeat within a day's worth of periods.
  for (int tried = 0; tried <= kDay; ++tried, ++k) {
    double at = origin + k * step;
    auto of_day = static_cast<int>(std::fmod(std::fmod(at, kDay) + kDay, kDay));
    // The parts from the frequency's own up to BYHOUR filter.
    const int units[] = {of_day % 60, of_day / 60 % 60, of_day / 3600};
    bool passes = true;
    for (int unit = rule.freq; unit < 3; ++unit) passes = passes && lets_through(parts[unit], units[unit]);
    if (passes) return at;
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> rule_end_wall(const EventRule& source, const icaltimetype& first) {
  const icalrecurrencetype& rule = source.rule;
  // UNTIL is compared with wall times a day either side of it.
  auto end = is_usable_time(rule.until) ? std::optional<double>(wall_seconds(rule.until) + kDay) : std::nullopt;
  // COUNT ends the rule where each period gives a date: no BY parts, and a date every
  // month has (day 28 at most) or every year has (not 29 February).
  const short* parts[] = {rule.by_second,   rule.by_minute,  rule.by_hour,  rule.by_day,   rule.by_month_day,
                          rule.by_year_day, rule.by_week_no, rule.by_month, rule.by_set_pos};
  if (rule.count <= 0 || !source.rscale.empty() || std::any_of(std::begin(parts), std::end(parts), given) ||
      (rule.freq == ICAL_MONTHLY_RECURRENCE && first.day > 28) ||
      (rule.freq == ICAL_YEARLY_RECURRENCE && first.month == 2 && first.day == 29)) {
    return end;
  }
  // Months and years count at their longest.
  double last = wall_seconds(first) + static_cast<double>(rule.count - 1) * std::max<short>(rule.interval, 1) *
                                          longest_period(rule.freq);
  return end ? std::min(last, *end) : last;
}

RuleSteps walk_rule(const icalrecurrencetype& rule, const icaltimetype& first, double from, double to) {
  // No window needs a rule without dates walked again.
  if (rule_gives_no_date(rule, first)) return RuleSteps{true, wall_seconds(first), to, true, {}};
  bool from_first = rule.count != 0 || wall_seconds(first) >= from;
  RuleSteps steps{from_first, from_first ? wall_seconds(first) : from, to, true, {}};
  // libical gets each stretch's end as UNTIL. COUNT is counted here, so that a walk
  // can go on from a date it gave.
  icalrecurrencetype handed = rule;
  handed.count = 0;
  // How many of its periods a walk goes without a date; 3000 days see 29 February come back.
  static constexpr double kPeriodsWithoutDate[] = {2000, 2000, 2000, 3000, 450, 600, 50, 2000};
  const double stretch = kPeriodsWithoutDate[std::clamp<int>(rule.freq, 0, ICAL_NO_RECURRENCE)] *
                         (longest_period(rule.freq) * std::max<int>(rule.interval, 1));
  // libical's iterator gives no date after the year 2582; UNTIL ends a walk two days on.
  const double until_end = icaltime_is_null_time(rule.until) ? INFINITY : wall_seconds(rule.until) + 2 * kDay;
  const double end = std::min(wall_time_as_utc_seconds(WallTime{2583, 1, 1, 0, 0, 0, 0}).value_or(0), until_end);
  const std::uint64_t most = rule.count > 0 ? std::min<std::uint64_t>(rule.count, kMaxStepsPerRule) : kMaxStepsPerRule;
  icaltimetype start = first;
  std::optional<icaltimetype> skip_to;
  // A sub-daily rule begins at its own step: libical's skip begins at the day's first,
  // off the steps when INTERVAL does not divide a day.
  if (!steps.from_first && longest_period(rule.freq) < kDay && !first.is_date) {
    std::optional<double> step = sub_daily_start(rule, first, from);
    if (!step) return steps;
    start = wall_at(*step, false);
    if (!begin_at(handed, start)) return steps;
  } else if (!steps.from_first) {
    skip_to = wall_at(from, first.is_date != 0);
  }
  steps.ended = false;
  double position = steps.from;  // the walk's start, then its last date
  while (true) {
    const double horizon = std::min({position + stretch, to, end});
    icalrecurrencetype stretch_rule = handed;
    stretch_rule.until = wall_at(horizon, false);
    IcalIteratorPtr iterator(icalrecur_iterator_new(stretch_rule, start));
    if (!iterator || (skip_to && !icalrecur_iterator_set_start(iterator.get(), *skip_to))) break;
    skip_to.reset();
    const std::size_t known = steps.walls.size();
    for (icaltimetype wall = icalrecur_iterator_next(iterator.get()); is_usable_time(wall);
         wall = icalrecur_iterator_next(iterator.get())) {
      double at = wall_seconds(wall);
      if (!steps.walls.empty() && at <= position) continue;  // a walk begun at a date gives it again
      steps.walls.push_back(at);
      position = at;
      if (at >= to) {
        steps.to = at;
        return steps;
      }
      if (steps.walls.size() >= most || at > until_end) {
        steps.ended = true;
        return steps;
      }
    }
    // No date between the last one and the horizon.
    if (horizon < end && horizon >= to) {
      steps.to = to;
      return steps;
    }
    // The walk goes on from its last date; a whole stretch without one ends the rule.
    start = wall_at(position, first.is_date != 0);
    if (horizon >= end || steps.walls.size() == known || !begin_at(handed, start)) break;
  }
  steps.ended = true;
  return steps;
}

}  // namespace platform::local
