#include "platform/local/events/reach.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/local/events/rule_walk.h"
#include "platform/local/ical/content_lines.h"

namespace platform::local {

namespace {

// Some 30,000 years: beyond, nothing is certain.
constexpr double kFarSeconds = 1e12;
// More than any zone's offset, and the hour of a clock change, either side.
constexpr std::int64_t kMarginDays = 2;

bool is_near(double seconds) { return std::fabs(seconds) < kFarSeconds; }

std::int64_t day_of(double seconds) { return static_cast<std::int64_t>(std::floor(seconds / kDay)); }

// A value's wall seconds; NaN, which reaches every day, when it names no wall time.
double wall_or_nan(const IcalTime& time) { return is_usable_time(time.value) ? wall_seconds(time.value) : NAN; }

// Occurrences starting from `start_wall` to `last_wall` (on for ever without one), each
// at most `length` long. No zone is a day off UTC; a day more covers a clock change.
void add(std::vector<DayRange>& ranges, double start_wall, std::optional<double> last_wall, double length) {
  double end_wall = start_wall + (std::max(0.0, last_wall.value_or(start_wall) - start_wall) + length);
  bool near = is_near(start_wall) && (!last_wall || is_near(end_wall));
  ranges.push_back(near ? DayRange{day_of(start_wall) - 1, last_wall ? day_of(end_wall) + 2 : kEveryDay.last}
                        : kEveryDay);
}

// DTSTART, each RDATE and, for a master, its rules' dates.
void add_event(std::vector<DayRange>& ranges, const EventComponent& event, bool master) {
  // Each occurrence's length, and an hour more for a clock change.
  double length = static_cast<double>(event.length.nominal_days) * kDay + std::max(0.0, event.length.exact_seconds) + 3600;
  double first = wall_or_nan(event.start);
  add(ranges, first, first, length);
  for (const RecurrenceDate& date : event.rdates) {
    double period = std::max(date.period_duration_seconds, date.period_seconds.value_or(0.0));
    if (date.period_end && is_usable_time(date.period_end->value) && is_usable_time(date.start.value)) {
      period = std::max(period, wall_seconds(date.period_end->value) - wall_seconds(date.start.value) + 2 * kDay);
    }
    double at = wall_or_nan(date.start);
    add(ranges, at, at, std::max(length, period));
  }
  if (!master) return;
  // An RRULE that did not read may give any date.
  if (event.has_rrule && event.rules.empty()) ranges.push_back(kEveryDay);
  for (const EventRule& rule : event.rules) {
    std::optional<double> end = rule_end_wall(rule, event.start.value);
    const RuleSteps* steps = rule.steps.get();
    // A COUNT rule's dates count only when walked from DTSTART, as the query takes them.
    if (!steps || (rule.rule.count != 0 && !steps->from_first)) {
      add(ranges, first, end, length);
      continue;
    }
    for (double wall : steps->walls) add(ranges, wall, wall, length);
    // What the walk did not cover: from DTSTART to where it began, and after it stopped.
    if (!steps->from_first) add(ranges, first, steps->from, length);
    if (!steps->ended) add(ranges, steps->to, end, length);
  }
}

// The day of a date that surely names one.
std::optional<std::int64_t> day_of(const icaltimetype& value) {
  using namespace std::chrono;
  year_month_day date{year(value.year), month(static_cast<unsigned>(value.month)), day(static_cast<unsigned>(value.day))};
  if (icaltime_is_null_time(value) || value.year < 1 || value.year > 9999 || !date.ok()) return std::nullopt;
  return sys_days(date).time_since_epoch().count();
}

}  // namespace

DayRange days_of(Date start, Date end) {
  double from = start.seconds_since_1970, to = end.seconds_since_1970;
  if (!is_near(from) || !is_near(to)) return kEveryDay;
  // The window ends before `end`: a window ending at midnight does not touch the next day.
  return {day_of(from), std::max(day_of(from), static_cast<std::int64_t>(std::ceil(to / kDay)) - 1)};
}

bool reaches(const Reach& reach, DayRange days) {
  return std::any_of(reach.begin(), reach.end(),
                     [&](DayRange range) { return range.first <= days.last && range.last >= days.first; });
}

Reach text_reach(std::string_view text) {
  // Only a file of one VEVENT whose components nest: there libical reads the same lines.
  std::vector<ContentLine> lines = split_content_lines(text);
  std::vector<ComponentSpan> events = item_component_spans(lines, "VEVENT");
  auto begins_event = [](const ContentLine& line) { return line.name == "BEGIN" && line.component == "VEVENT"; };
  if (events.size() != 1 || std::count_if(lines.begin(), lines.end(), begins_event) != 1 || !components_nest(lines)) {
    return {kEveryDay};
  }
  // The first of each property, as libical reads them, and its value: its parameters
  // do not move a date by days.
  auto first = [&](std::string_view name) -> const ContentLine* {
    std::vector<std::size_t> found = own_properties(lines, events[0], name);
    return found.empty() ? nullptr : &lines[found[0]];
  };
  auto value_of = [&](const ContentLine& line) { return std::string(line_value(unfolded_line(text, line))); };
  auto day_in = [&](const ContentLine& line) { return day_of(icaltime_from_string(value_of(line).c_str())); };
  // Dates other than DTSTART's and its rules' are left to the full reading.
  const ContentLine* start = first("DTSTART");
  auto start_day = start ? day_in(*start) : std::nullopt;
  if (!start_day || first("RDATE") || first("EXRULE") || first("RECURRENCE-ID")) return {kEveryDay};
  std::int64_t end_day = *start_day + 1;
  if (const ContentLine* end = first("DTEND")) {
    auto day = day_in(*end);
    if (!day) return {kEveryDay};
    end_day = std::max(*day, *start_day);
  } else if (const ContentLine* duration = first("DURATION")) {
    icaldurationtype length = icaldurationtype_from_string(value_of(*duration).c_str());
    if (icaldurationtype_is_bad_duration(length) || length.weeks > 1000 || length.days > 10000) return {kEveryDay};
    double seconds = std::fabs(static_cast<double>(icaldurationtype_as_int(length)));
    end_day = *start_day + static_cast<std::int64_t>(std::ceil(seconds / kDay)) + 1;
  }
  // A rule never gives an occurrence before DTSTART; it ends by its UNTIL, or never
  // as far as this look can tell (COUNT is left to the full reading).
  std::int64_t last_day = end_day;
  for (std::size_t rule : own_properties(lines, events[0], "RRULE")) {
    icalrecurrencetype parsed = icalrecurrencetype_from_string(value_of(lines[rule]).c_str());
    std::free(parsed.rscale);
    auto until = parsed.freq == ICAL_NO_RECURRENCE ? std::nullopt : day_of(parsed.until);
    if (!until) return {DayRange{*start_day - kMarginDays, kEveryDay.last}};
    last_day = std::max(last_day, *until + (end_day - *start_day));
  }
  return {DayRange{*start_day - kMarginDays, last_day + kMarginDays}};
}

Reach events_reach(const FileEvents& events) {
  std::vector<DayRange> ranges;
  for (const ItemEvents& item : events.items) {
    if (item.master) add_event(ranges, *item.master, true);
    for (const OverrideEvent& o : item.overrides) add_event(ranges, o.event, false);
  }
  std::sort(ranges.begin(), ranges.end(), [](DayRange a, DayRange b) { return a.first < b.first; });
  Reach merged;
  for (DayRange range : ranges) {
    if (!merged.empty() && range.first <= merged.back().last + 1) {
      merged.back().last = std::max(merged.back().last, range.last);
    } else {
      merged.push_back(range);
    }
  }
  return merged;
}

}  // namespace platform::local
