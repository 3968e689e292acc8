#include "platform/local/events/window_prefilter.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "platform/local/ical/content_lines.h"

namespace platform::local {

namespace {

// More than any time zone's offset, so wall dates compare safely with UTC days.
constexpr std::int64_t kMarginDays = 2;
// The last day of an event that repeats without end.
constexpr std::int64_t kNoLastDay = std::numeric_limits<std::int64_t>::max();

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

}  // namespace

EventReach event_reach(std::string_view text) {
  std::vector<ContentLine> lines = split_content_lines(text);
  EventLines event = event_lines(lines);
  if (event.events != 1 || event.repeats || !event.start) return {};

  auto start_day = day_in(text, *event.start);
  if (!start_day) return {};
  std::int64_t end_day = *start_day + 1;
  if (event.end) {
    auto day = day_in(text, *event.end);
    if (!day) return {};
    end_day = std::max(*day, *start_day);
  } else if (event.duration) {
    icaldurationtype length = icaldurationtype_from_string(value_of(text, *event.duration).c_str());
    if (icaldurationtype_is_bad_duration(length) || length.weeks > 1000 || length.days > 10000) return {};
    double seconds = std::fabs(static_cast<double>(icaldurationtype_as_int(length)));
    end_day = *start_day + static_cast<std::int64_t>(std::ceil(seconds / 86400)) + 1;
  }
  // A rule never gives an occurrence before DTSTART; it ends by its UNTIL, or never
  // as far as this look can tell (COUNT is left to the full reading).
  std::int64_t last_day = end_day;
  for (const ContentLine* rule : event.rules) {
    icalrecurrencetype parsed = icalrecurrencetype_from_string(value_of(text, *rule).c_str());
    std::free(parsed.rscale);
    auto until = parsed.freq == ICAL_NO_RECURRENCE ? std::nullopt : day_of(parsed.until);
    if (!until) return EventReach{true, *start_day, kNoLastDay};
    last_day = std::max(last_day, *until + (end_day - *start_day));
  }
  return EventReach{true, *start_day, last_day};
}

double reach_quiet_until(const EventReach& reach, Date from) {
  constexpr double kFarSeconds = 1e12;  // some 30,000 years: beyond, nothing is certain
  double start = from.seconds_since_1970;
  if (!reach.bounded || !(std::fabs(start) < kFarSeconds)) return start;
  auto from_day = static_cast<std::int64_t>(std::floor(start / 86400));
  if (reach.last_day < from_day - kMarginDays) return std::numeric_limits<double>::infinity();
  return std::max(start, static_cast<double>(reach.first_day - kMarginDays) * 86400);
}

bool reach_surely_outside(const EventReach& reach, Date window_start, Date window_end) {
  return reach_quiet_until(reach, window_start) >= window_end.seconds_since_1970;
}

bool event_surely_outside(std::string_view text, Date window_start, Date window_end) {
  return reach_surely_outside(event_reach(text), window_start, window_end);
}

}  // namespace platform::local
