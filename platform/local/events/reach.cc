#include "platform/local/events/reach.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/local/events/event_series.h"
#include "platform/local/ical/content_lines.h"

namespace platform::local {

namespace {

constexpr double kDay = 86400;
// Some 30,000 years: beyond, nothing is certain.
constexpr double kFarSeconds = 1e12;

std::int64_t day_of(double seconds) { return static_cast<std::int64_t>(std::floor(seconds / kDay)); }

// The file's own dates are wall times. No zone is a day or more off UTC, so an
// occurrence lies at most a day before its wall days; one more day after covers a
// length that a clock change stretches.
DayRange widened(double start_wall, double end_wall) { return {day_of(start_wall) - 1, day_of(end_wall) + 2}; }

// How long an occurrence may last: its length, and an hour more for a clock change.
double longest(const EventLength& length) {
  return static_cast<double>(length.nominal_days) * kDay + std::max(0.0, length.exact_seconds) + 3600;
}

class ReachCollector {
 public:
  // An occurrence starting at a wall time (read as UTC) lasting at most `length`.
  void add(double start_wall, double length) {
    double end_wall = start_wall + length;
    if (!(std::fabs(start_wall) < kFarSeconds && std::fabs(end_wall) < kFarSeconds)) {
      every_day_ = true;
      return;
    }
    ranges_.push_back(widened(start_wall, end_wall));
  }
  void add(const IcalTime& start, double length) {
    if (!is_usable_time(start.value)) {
      every_day_ = true;
      return;
    }
    add(wall_seconds(start.value), length);
  }
  // Dates anywhere from `start_wall` on, up to `end_wall` when there is an end.
  void add_until(double start_wall, std::optional<double> end_wall, double length) {
    if (end_wall) {
      add(start_wall, std::max(0.0, *end_wall - start_wall) + length);
    } else if (std::fabs(start_wall) < kFarSeconds) {
      ranges_.push_back({day_of(start_wall) - 1, kEveryDay.last});
    } else {
      every_day_ = true;
    }
  }

  // DTSTART, each RDATE and, for a master, its rules' dates.
  void add_event(const EventComponent& event, bool master) {
    double length = longest(event.length);
    add(event.start, length);
    for (const RecurrenceDate& date : event.rdates) {
      double period = std::max(date.period_duration_seconds, date.period_seconds.value_or(0.0));
      if (date.period_end && is_usable_time(date.period_end->value) && is_usable_time(date.start.value)) {
        period = std::max(period, wall_seconds(date.period_end->value) - wall_seconds(date.start.value) + 2 * kDay);
      }
      add(date.start, std::max(length, period));
    }
    if (!master || every_day_) return;
    // An RRULE that did not read may give any date.
    if (event.has_rrule && event.rules.empty()) every_day_ = true;
    double first = wall_seconds(event.start.value);
    for (const EventRule& rule : event.rules) {
      std::optional<double> end = rule_end_wall(rule, event.start.value);
      const RuleSteps* steps = rule.steps.get();
      // A COUNT rule's dates count only when walked from DTSTART, as the query takes them.
      if (steps && rule.rule.count != 0 && !steps->from_first) steps = nullptr;
      if (!steps) {
        add_until(first, end, length);
        continue;
      }
      for (double wall : steps->walls) add(wall, length);
      // What the walk did not cover: from DTSTART to where it began, and after it stopped.
      if (!steps->from_first) add_until(first, steps->from, length);
      if (!steps->ended) add_until(steps->to, end, length);
    }
  }

  Reach take() {
    if (every_day_) return {kEveryDay};
    std::sort(ranges_.begin(), ranges_.end(), [](DayRange a, DayRange b) { return a.first < b.first; });
    Reach merged;
    for (DayRange range : ranges_) {
      if (!merged.empty() && range.first <= merged.back().last + 1) {
        merged.back().last = std::max(merged.back().last, range.last);
      } else {
        merged.push_back(range);
      }
    }
    return merged;
  }

 private:
  std::vector<DayRange> ranges_;
  bool every_day_ = false;
};

// The text's own look at one event.

std::optional<std::int64_t> day_of(const icaltimetype& value) {
  using namespace std::chrono;
  if (icaltime_is_null_time(value) || value.year < 1 || value.year > 9999) return std::nullopt;
  year_month_day date{year(value.year), month(static_cast<unsigned>(value.month)), day(static_cast<unsigned>(value.day))};
  if (!date.ok()) return std::nullopt;
  return sys_days(date).time_since_epoch().count();
}

// The value of one property line (its parameters do not move a date by days).
std::string value_of(std::string_view text, const ContentLine& line) {
  return std::string(line_value(unfolded_line(text, line)));
}

std::optional<std::int64_t> day_in(std::string_view text, const ContentLine& line) {
  return day_of(icaltime_from_string(value_of(text, line).c_str()));
}

struct EventLines {
  int events = 0;
  bool repeats = false;  // dates other than DTSTART and its rules' (RDATE, overrides ...)
  std::vector<const ContentLine*> rules;
  const ContentLine* start = nullptr;
  const ContentLine* end = nullptr;
  const ContentLine* duration = nullptr;
};

EventLines event_lines(const std::vector<ContentLine>& lines) {
  EventLines found;
  std::vector<const std::string*> open;  // the components the current line is in
  for (const ContentLine& line : lines) {
    if (line.name == "BEGIN") {
      open.push_back(&line.component);
      if (line.component == "VEVENT") ++found.events;
      continue;
    }
    if (line.name == "END") {
      if (!open.empty()) open.pop_back();
      continue;
    }
    if (open.empty() || *open.back() != "VEVENT") continue;
    const std::string& name = line.name;
    if (name == "RDATE" || name == "EXRULE" || name == "RECURRENCE-ID") found.repeats = true;
    if (name == "RRULE") found.rules.push_back(&line);
    // The first of each, as libical reads them.
    if (name == "DTSTART" && !found.start) found.start = &line;
    if (name == "DTEND" && !found.end) found.end = &line;
    if (name == "DURATION" && !found.duration) found.duration = &line;
  }
  return found;
}

// More than any zone's offset, and the hour of a clock change, either side.
constexpr std::int64_t kMarginDays = 2;

}  // namespace

DayRange days_of(Date start, Date end) {
  double from = start.seconds_since_1970, to = end.seconds_since_1970;
  if (!(std::fabs(from) < kFarSeconds && std::fabs(to) < kFarSeconds)) return kEveryDay;
  // The window ends before `end`: a window ending at midnight does not touch the next day.
  return {day_of(from), std::max(day_of(from), static_cast<std::int64_t>(std::ceil(to / kDay)) - 1)};
}

bool reaches(const Reach& reach, DayRange days) {
  return std::any_of(reach.begin(), reach.end(),
                     [&](DayRange range) { return range.first <= days.last && range.last >= days.first; });
}

Reach text_reach(std::string_view text) {
  std::vector<ContentLine> lines = split_content_lines(text);
  EventLines event = event_lines(lines);
  if (event.events != 1 || event.repeats || !event.start) return {kEveryDay};

  auto start_day = day_in(text, *event.start);
  if (!start_day) return {kEveryDay};
  std::int64_t end_day = *start_day + 1;
  if (event.end) {
    auto day = day_in(text, *event.end);
    if (!day) return {kEveryDay};
    end_day = std::max(*day, *start_day);
  } else if (event.duration) {
    icaldurationtype length = icaldurationtype_from_string(value_of(text, *event.duration).c_str());
    if (icaldurationtype_is_bad_duration(length) || length.weeks > 1000 || length.days > 10000) return {kEveryDay};
    double seconds = std::fabs(static_cast<double>(icaldurationtype_as_int(length)));
    end_day = *start_day + static_cast<std::int64_t>(std::ceil(seconds / kDay)) + 1;
  }
  // A rule never gives an occurrence before DTSTART; it ends by its UNTIL, or never
  // as far as this look can tell (COUNT is left to the full reading).
  std::int64_t last_day = end_day;
  for (const ContentLine* rule : event.rules) {
    icalrecurrencetype parsed = icalrecurrencetype_from_string(value_of(text, *rule).c_str());
    std::free(parsed.rscale);
    auto until = parsed.freq == ICAL_NO_RECURRENCE ? std::nullopt : day_of(parsed.until);
    if (!until) return {DayRange{*start_day - kMarginDays, kEveryDay.last}};
    last_day = std::max(last_day, *until + (end_day - *start_day));
  }
  return {DayRange{*start_day - kMarginDays, last_day + kMarginDays}};
}

Reach events_reach(const FileEvents& events) {
  ReachCollector reach;
  for (const ItemEvents& item : events.items) {
    if (item.master) reach.add_event(*item.master, true);
    for (const OverrideEvent& o : item.overrides) reach.add_event(o.event, false);
  }
  return reach.take();
}

}  // namespace platform::local
