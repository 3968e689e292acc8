#include "platform/local/events/busy_days.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/local/events/event_series.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/time/zone_time.h"

namespace platform::local {

namespace {

constexpr double kDay = 86400;

// How many days an occurrence's UTC days may lie before and after the days of its
// wall times on some machine zone. A UTC start is the instant itself; any other
// start's instant lies within a day of its wall time (no zone is a day or more off
// UTC). The length is the same on every machine when the event's start is a UTC or
// zoned time and its end (if any) in the same frame; a floating start and end make it
// differ by the machine zone's clock changes (hours, within a day's margin), and an
// end in another frame than the start by up to two zones' offsets.
struct Widening {
  std::int64_t before = 1;
  std::int64_t after = 2;
};

bool same_frame(const IcalTime& a, const IcalTime& b) {
  return a.zone.kind == b.zone.kind && a.zone.tzid == b.zone.tzid && (a.value.is_date != 0) == (b.value.is_date != 0);
}

bool is_fixed(const IcalTime& time) { return !time.value.is_date && time.zone.kind != IcalZone::Kind::floating; }

// Only a DURATION, or an end in the same fixed frame as the start.
bool length_everywhere_same(const EventComponent& event) {
  return !event.end || (same_frame(event.start, *event.end) && is_fixed(event.start));
}

// An occurrence starting at `start`, of an event whose length its own start and
// end (if any) settled.
Widening widening_of(const IcalTime& start, const EventComponent& event) {
  bool exact_start = start.zone.kind == IcalZone::Kind::utc && !start.value.is_date;
  bool length_within_hours = !event.end || same_frame(event.start, *event.end);
  Widening widening;
  widening.before = exact_start ? 0 : 1;
  widening.after = !length_within_hours ? 2 : exact_start && length_everywhere_same(event) ? 0 : 1;
  return widening;
}

// The zone in which an occurrence starting at `start` is the same instant, of the
// same length, on every machine: UTC, or a zone of its own (not the machine's); null
// for any other.
const IcalZone* fixed_zone_of(const IcalTime& start, const EventComponent& event) {
  if (!is_fixed(start) || !length_everywhere_same(event)) return nullptr;
  return &start.zone;
}

// The bit of the hour of the UTC day that an hour counted since 1970 falls on.
std::uint32_t hour_bit(std::int64_t hour) { return 1u << (((hour % 24) + 24) % 24); }

// The bits of the UTC hours of the day that [first, last] (in hours since 1970) touches.
std::uint32_t hours_between(std::int64_t first, std::int64_t last) {
  if (last - first >= 23) return kEveryHour;
  std::uint32_t bits = 0;
  for (std::int64_t hour = first; hour <= last; ++hour) bits |= hour_bit(hour);
  return bits;
}

std::int64_t hour_of(double seconds) { return static_cast<std::int64_t>(std::floor(seconds / 3600)); }

// Beyond this, nothing is certain (some 30,000 years).
constexpr double kFarSeconds = 1e12;
constexpr std::int64_t kNoDay = std::numeric_limits<std::int64_t>::max() / 2;

std::int64_t day_of(double seconds) { return static_cast<std::int64_t>(std::floor(seconds / kDay)); }

// How long an occurrence may last: its length, and an hour more for a clock change.
double longest(const EventLength& length) {
  return static_cast<double>(length.nominal_days) * kDay + std::max(0.0, length.exact_seconds) + 3600;
}

class BusyCollector {
 public:
  // An occurrence starting at a wall time and lasting at most `length` seconds.
  // `fixed_zone`: the frame of a start that is the same instant on every machine
  // (see fixed_zone_of), else null.
  void add(double start_wall, double length, Widening widening, const IcalZone* fixed_zone) {
    double end_wall = start_wall + length;
    if (!(std::fabs(start_wall) < kFarSeconds) || !(std::fabs(end_wall) < kFarSeconds)) {
      usable_ = false;
      return;
    }
    ranges_.emplace_back(day_of(start_wall) - widening.before, day_of(end_wall) + widening.after);
    add_hours(start_wall, length, fixed_zone);
  }
  bool add(const IcalTime& start, double length, Widening widening, const IcalZone* fixed_zone) {
    if (!is_usable_time(start.value)) return usable_ = false;
    add(wall_seconds(start.value), length, widening, fixed_zone);
    return usable_;
  }
  // DTSTART, each RDATE (a period lasting as long as it says, if longer) and, for a
  // master, what its rules' kept dates give (or, for a rule never walked, all from
  // DTSTART to its end); false when something is not known.
  bool add_event(const EventComponent& event, bool master) {
    double length = longest(event.length);
    // The rules' dates are wall times in DTSTART's frame.
    Widening widening = widening_of(event.start, event);
    const IcalZone* fixed_zone = fixed_zone_of(event.start, event);
    if (!add(event.start, length, widening, fixed_zone)) return false;
    for (const RecurrenceDate& date : event.rdates) {
      double period = std::max(date.period_duration_seconds, date.period_seconds.value_or(0.0));
      if (date.period_end && is_usable_time(date.period_end->value) && is_usable_time(date.start.value)) {
        period = std::max(period, wall_seconds(date.period_end->value) - wall_seconds(date.start.value) + 2 * kDay);
      }
      if (!add(date.start, std::max(length, period), widening_of(date.start, event), fixed_zone_of(date.start, event))) {
        return false;
      }
    }
    if (!master) return true;
    if (event.has_rrule && event.rules.empty()) return false;
    for (const EventRule& rule : event.rules) {
      const RuleSteps* steps = rule.steps.get();
      // A COUNT rule is answered only from dates walked from DTSTART (see
      // series_in_window); other kept dates of it speak for no window.
      if (steps && rule.rule.count != 0 && !steps->from_first) steps = nullptr;
      if (!steps) {
        // Never walked (it begins after the windows asked so far, or ended before
        // them): every date lies between DTSTART and the rule's end, if it has one.
        std::optional<double> end = rule_end_wall(rule, event.start.value);
        double start = wall_seconds(event.start.value);
        if (end) {
          add(start, std::max(0.0, *end - start) + length, widening, fixed_zone);
        } else if (std::fabs(start) < kFarSeconds) {
          ranges_.emplace_back(day_of(start) - widening.before, kNoDay);
          hours_ = kEveryHour;
        }
        has_rule_ = true;
        continue;
      }
      if (!steps->from_first) from_ = std::max(from_, steps->from);
      if (!steps->ended) to_ = std::min(to_, steps->to);
      for (double wall : steps->walls) add(wall, length, widening, fixed_zone);
      longest_ = std::max(longest_, length);
      has_rule_ = true;
    }
    return usable_;
  }

  std::optional<BusyDays> result() {
    if (!usable_ || !has_rule_) return std::nullopt;
    if (!(std::isinf(from_) || std::fabs(from_) < kFarSeconds) || !(std::isinf(to_) || std::fabs(to_) < kFarSeconds)) {
      return std::nullopt;
    }
    BusyDays days;
    days.hours = hours_;
    // Zoned hours hold only for the tz database they were worked out with: none
    // when ICU does not tell which that is.
    if (hours_ != kEveryHour && zoned_hours_) {
      days.hours_zone_data = zone_data_version();
      if (days.hours_zone_data.empty()) days.hours = kEveryHour;
    }
    // The kept dates answer a window whose widest walk (a day before its start less the
    // longest occurrence, a day after its end) lies within them.
    days.first_day = std::isinf(from_) ? -kNoDay : day_of(from_ + longest_) + 4;
    days.last_day = std::isinf(to_) ? kNoDay : day_of(to_) - 3;
    std::sort(ranges_.begin(), ranges_.end());
    for (const auto& range : ranges_) {
      if (!days.busy.empty() && range.first <= days.busy.back().second + 1) {
        days.busy.back().second = std::max(days.busy.back().second, range.second);
      } else {
        days.busy.push_back(range);
      }
    }
    return days;
  }

 private:
  // The hours of the UTC day an occurrence touches; every hour when its instant is
  // not the same on every machine, or cannot be told.
  void add_hours(double start_wall, double length, const IcalZone* fixed_zone) {
    if (hours_ == kEveryHour) return;
    if (!fixed_zone) {
      hours_ = kEveryHour;
      return;
    }
    double start = start_wall;
    if (fixed_zone->kind == IcalZone::Kind::zoned) {
      auto instant = instant_of(ical_wall(utc_wall_time(Date{start_wall}), false), *fixed_zone);
      if (!instant) {
        hours_ = kEveryHour;
        return;
      }
      start = instant->seconds_since_1970;
      zoned_hours_ = true;
    }
    hours_ |= hours_between(hour_of(start), hour_of(start + length));
  }

  std::vector<std::pair<std::int64_t, std::int64_t>> ranges_;
  std::uint32_t hours_ = 0;
  bool zoned_hours_ = false;
  double from_ = -std::numeric_limits<double>::infinity();
  double to_ = std::numeric_limits<double>::infinity();
  double longest_ = 0;
  bool has_rule_ = false;
  bool usable_ = true;
};

}  // namespace

std::optional<BusyDays> busy_days_of(const FileEvents& events) {
  BusyCollector busy;
  for (const ItemEvents& item : events.items) {
    if (item.master && !busy.add_event(*item.master, true)) return std::nullopt;
    for (const OverrideEvent& o : item.overrides) {
      if (!busy.add_event(o.event, false)) return std::nullopt;
    }
  }
  return busy.result();
}

double busy_days_quiet_until(const BusyDays& days, Date from) {
  double start = from.seconds_since_1970;
  if (!(std::fabs(start) < kFarSeconds)) return start;
  std::int64_t first = day_of(start);
  if (first < days.first_day || first > days.last_day) return start;
  double spoken_for = static_cast<double>(days.last_day + 1) * kDay;
  // The first busy range that does not end before `from`'s day.
  auto at = std::lower_bound(days.busy.begin(), days.busy.end(), first,
                             [](const auto& range, std::int64_t day) { return range.second < day; });
  double quiet = at == days.busy.end() ? spoken_for
                 : at->first > first   ? std::min(spoken_for, static_cast<double>(at->first) * kDay)
                                       : start;
  if (days.hours == kEveryHour || quiet >= spoken_for) return quiet;
  if (!days.hours_zone_data.empty() && days.hours_zone_data != zone_data_version()) return quiet;
  // On to the first hour of the day that some occurrence touches.
  std::int64_t hour = hour_of(quiet);
  for (int later = 0; later < 24; ++later, ++hour) {
    if (days.hours & hour_bit(hour)) {
      return std::min(spoken_for, std::max(quiet, static_cast<double>(hour) * 3600));
    }
  }
  return spoken_for;  // no occurrence at all
}

bool busy_days_rule_out(const BusyDays& days, Date start, Date end) {
  return busy_days_quiet_until(days, start) >= end.seconds_since_1970;
}

}  // namespace platform::local
