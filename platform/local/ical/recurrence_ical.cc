#include "platform/local/ical/recurrence_ical.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/local/ical/ical_handles.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/time/zone_time.h"

namespace platform::local {

namespace {

constexpr icalrecurrencetype_frequency kFrequencies[] = {ICAL_DAILY_RECURRENCE, ICAL_WEEKLY_RECURRENCE,
                                                        ICAL_MONTHLY_RECURRENCE, ICAL_YEARLY_RECURRENCE};
constexpr const char* kWeekdayCodes[] = {"", "SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// The parts of a stored rule the platform's rule has no field for, kept as the
// rule's text (libical's reading of it is some 3 kB) and read again for a write.
struct StoredRuleOrigin : ItemOrigin {
  std::string value;
};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The value's "NAME=..." parts, split at ";".
std::vector<std::string_view> rule_parts(std::string_view value) {
  std::vector<std::string_view> parts;
  while (!value.empty()) {
    std::size_t end = value.find(';');
    parts.push_back(value.substr(0, end));
    value = end == std::string_view::npos ? std::string_view() : value.substr(end + 1);
  }
  return parts;
}

// The largest INTERVAL the store keeps (libical's own is a short's).
constexpr std::int64_t kLargestInterval = 2147483647;

// An INTERVAL value of digits only, 1 when it is missing, zero or unreadable.
std::int64_t interval_of(std::string_view digits) {
  std::int64_t value = 0;
  if (digits.empty()) return 1;
  for (char c : digits) {
    if (c < '0' || c > '9') return 1;
    value = value * 10 + (c - '0');
    if (value > kLargestInterval) return 1;
  }
  return value > 0 ? value : 1;
}

// What of a rule's text libical reads for the store.
struct KnownParts {
  icalrecurrencetype parsed;
  bool has_wkst = false;
  std::int64_t interval = 1;
};

// libical refuses a whole rule for one part it does not know, and reads names in
// upper case only: parse the known parts, named in upper case. INTERVAL is read
// here: libical keeps it in a short and refuses the rule beyond that.
KnownParts parse_known_parts(std::string_view value) {
  KnownParts out;
  std::string known;
  for (std::string_view part : rule_parts(value)) {
    std::size_t equals = part.find('=');
    std::string name = upper(part.substr(0, equals));
    if (name.rfind("X-", 0) == 0 || equals == std::string_view::npos) continue;
    if (name == "WKST") out.has_wkst = true;
    if (name == "INTERVAL") {
      out.interval = interval_of(part.substr(equals + 1));
      continue;
    }
    if (!known.empty()) known += ';';
    known += name + upper(part.substr(equals));
  }
  out.parsed = icalrecurrencetype_from_string(known.c_str());
  return out;
}

// Puts INTERVAL where libical writes it, after FREQ, UNTIL and COUNT.
void insert_interval(std::string& text, std::int64_t interval) {
  if (interval <= 1) return;
  std::size_t at = 0;
  for (std::string_view part : rule_parts(text)) {
    bool leading = part.rfind("FREQ=", 0) == 0 || part.rfind("UNTIL=", 0) == 0 || part.rfind("COUNT=", 0) == 0 ||
                   part.rfind("RSCALE=", 0) == 0 || part.rfind("SKIP=", 0) == 0;
    if (!leading) break;
    at += part.size() + 1;
  }
  std::string interval_part = "INTERVAL=" + std::to_string(interval);
  if (at > text.size()) {
    text += ";" + interval_part;  // every part leads: INTERVAL goes last
  } else {
    text.insert(at, interval_part + ";");
  }
}

std::optional<std::vector<std::int64_t>> list_of(const short* values, int capacity) {
  std::vector<std::int64_t> out;
  for (int i = 0; i < capacity && values[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) out.push_back(values[i]);
  if (out.empty()) return std::nullopt;
  return out;
}

void fill(short* values, int capacity, const std::optional<std::vector<std::int64_t>>& list) {
  int i = 0;
  if (list) {
    for (std::int64_t v : *list) {
      if (i + 1 >= capacity) break;
      if (v < -32767 || v > 32767) continue;
      values[i++] = static_cast<short>(v);
    }
  }
  values[i] = ICAL_RECURRENCE_ARRAY_MAX;
}

// A date-only UNTIL includes its whole day: the end is the day's last second.
std::optional<Date> until_date(const icaltimetype& until) {
  if (icaltime_is_null_time(until)) return std::nullopt;
  IcalZone zone;
  if (icaltime_is_utc(until)) zone.kind = IcalZone::Kind::utc;
  icaltimetype wall = until;
  if (until.is_date) {
    wall.is_date = 0;
    wall.hour = 23;
    wall.minute = 59;
    wall.second = 59;
  }
  return instant_of(wall, zone);
}

icaltimetype utc_until(Date end) {
  // iCalendar has no fractions of a second: the fraction is dropped.
  icaltimetype value = ical_wall(utc_wall_time(Date{std::trunc(end.seconds_since_1970)}), false);
  value.zone = icaltimezone_get_utc_timezone();
  return value;
}

}  // namespace

std::optional<RecurrenceRule> rule_from_rrule_value(std::string_view value) {
  KnownParts known = parse_known_parts(value);
  icalrecurrencetype& parsed = known.parsed;
  // RSCALE's text is the parser's to free; the store keeps Gregorian rules only.
  std::free(parsed.rscale);
  parsed.rscale = nullptr;
  auto frequency = std::find(std::begin(kFrequencies), std::end(kFrequencies), parsed.freq);
  if (frequency == std::end(kFrequencies)) return std::nullopt;

  RecurrenceRule rule;
  rule.frequency = frequency - std::begin(kFrequencies);
  rule.interval = known.interval;
  rule.first_day_of_the_week = known.has_wkst ? static_cast<std::int64_t>(parsed.week_start) : 0;
  std::vector<RecurrenceDayOfWeek> days;
  for (int i = 0; i < ICAL_BY_DAY_SIZE && parsed.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
    days.push_back(RecurrenceDayOfWeek::make(icalrecurrencetype_day_day_of_week(parsed.by_day[i]),
                                             icalrecurrencetype_day_position(parsed.by_day[i])));
  }
  if (!days.empty()) rule.days_of_the_week = std::move(days);
  rule.days_of_the_month = list_of(parsed.by_month_day, ICAL_BY_MONTHDAY_SIZE);
  rule.months_of_the_year = list_of(parsed.by_month, ICAL_BY_MONTH_SIZE);
  rule.weeks_of_the_year = list_of(parsed.by_week_no, ICAL_BY_WEEKNO_SIZE);
  rule.days_of_the_year = list_of(parsed.by_year_day, ICAL_BY_YEARDAY_SIZE);
  rule.set_positions = list_of(parsed.by_set_pos, ICAL_BY_SETPOS_SIZE);
  if (parsed.count > 0) {
    rule.recurrence_end = RecurrenceEnd::with_occurrence_count(static_cast<std::uint64_t>(parsed.count));
  } else if (auto end = until_date(parsed.until)) {
    rule.recurrence_end = RecurrenceEnd::with_end_date(*end);
  }
  auto origin = std::make_shared<StoredRuleOrigin>();
  origin->value = std::string(value);
  rule.origin = std::move(origin);
  return rule;
}

std::optional<std::string> rrule_value_of(const RecurrenceRule& rule) {
  if (rule.frequency < 0 || rule.frequency > 3) return std::nullopt;
  icalrecurrencetype r;
  auto stored = std::dynamic_pointer_cast<const StoredRuleOrigin>(rule.origin);
  if (stored) {
    r = parse_known_parts(stored->value).parsed;
    std::free(r.rscale);
    r.rscale = nullptr;
  } else {
    icalrecurrencetype_clear(&r);
  }
  r.freq = kFrequencies[rule.frequency];
  // libical writes INTERVAL only up to a short: the text gets it from insert_interval.
  r.interval = 1;
  r.week_start = ICAL_NO_WEEKDAY;
  short days[ICAL_BY_DAY_SIZE];
  int count = 0;
  if (rule.days_of_the_week) {
    for (const auto& day : *rule.days_of_the_week) {
      if (count + 1 >= ICAL_BY_DAY_SIZE) break;
      if (day.day_of_the_week < 1 || day.day_of_the_week > 7 || std::llabs(day.week_number) > 53) continue;
      auto encoded = static_cast<short>(day.day_of_the_week + 8 * std::llabs(day.week_number));
      days[count++] = day.week_number < 0 ? static_cast<short>(-encoded) : encoded;
    }
  }
  std::copy(days, days + count, r.by_day);
  r.by_day[count] = ICAL_RECURRENCE_ARRAY_MAX;
  fill(r.by_month_day, ICAL_BY_MONTHDAY_SIZE, rule.days_of_the_month);
  fill(r.by_month, ICAL_BY_MONTH_SIZE, rule.months_of_the_year);
  fill(r.by_week_no, ICAL_BY_WEEKNO_SIZE, rule.weeks_of_the_year);
  fill(r.by_year_day, ICAL_BY_YEARDAY_SIZE, rule.days_of_the_year);
  fill(r.by_set_pos, ICAL_BY_SETPOS_SIZE, rule.set_positions);
  r.count = 0;
  r.until = icaltime_null_time();
  if (rule.recurrence_end) {
    if (rule.recurrence_end->end_date) {
      r.until = utc_until(*rule.recurrence_end->end_date);
    } else if (rule.recurrence_end->occurrence_count > 0) {
      r.count = static_cast<int>(std::min<std::uint64_t>(rule.recurrence_end->occurrence_count, 0x7fffffff));
    }
  }
  std::string text = take_ical_string(icalrecurrencetype_as_string_r(&r));
  if (text.empty()) return std::nullopt;
  insert_interval(text, std::clamp<std::int64_t>(rule.interval, 1, kLargestInterval));
  // libical leaves Monday out as its own default; the file must still say it.
  if (rule.first_day_of_the_week >= 1 && rule.first_day_of_the_week <= 7) {
    text += ";WKST=";
    text += kWeekdayCodes[rule.first_day_of_the_week];
  }
  return text;
}

}  // namespace platform::local
