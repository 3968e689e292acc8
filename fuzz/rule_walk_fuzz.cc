// RRULEs built from any bytes, walked as an event query walks them: a rule taken to
// give no date gives none from DTSTART, and a walk that skips ahead to a later start
// gives the dates a walk from DTSTART gives there. A walk that does not end in bounded
// work is caught by the fuzzer's time limit.

#include <libical/ical.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/local/ical/rule_reach.h"
#include "platform/local/events/rule_walk.h"
#include "platform/local/ical/ical_time.h"

namespace {

using platform::local::RuleSteps;

void check(bool holds, const char* what, const std::string& rule) {
  if (holds) return;
  std::fprintf(stderr, "rule_walk_fuzz: %s: %s\n", what, rule.c_str());
  std::abort();
}

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  int next() { return at_ < size_ ? data_[at_++] : 0; }
  int in(int low, int high) { return low + next() % (high - low + 1); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

const char* const kFrequencies[] = {"SECONDLY", "MINUTELY", "HOURLY", "DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
const char* const kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// A part with up to three values drawn from [low, high], none zero unless `zero`.
void add_part(std::string& rule, Bytes& in, const char* name, int low, int high, bool zero) {
  int count = in.next() % 4;
  if (count == 0) return;
  rule += std::string(";") + name + "=";
  for (int i = 0; i < count; ++i) {
    int value = in.in(low, high);
    if (value == 0 && !zero) value = 1;
    rule += (i ? "," : "") + std::to_string(value);
  }
}

std::string rule_text(Bytes& in) {
  std::string rule = std::string("FREQ=") + kFrequencies[in.next() % 7];
  int interval = in.next() % 8 == 0 ? in.in(1, 1000) : in.in(1, 12);
  if (interval > 1) rule += ";INTERVAL=" + std::to_string(interval);
  if (in.next() % 4 == 0) rule += ";COUNT=" + std::to_string(in.in(1, 60));
  add_part(rule, in, "BYMONTH", 1, 12, false);
  add_part(rule, in, "BYMONTHDAY", -31, 31, false);
  add_part(rule, in, "BYYEARDAY", -366, 366, false);
  add_part(rule, in, "BYWEEKNO", -53, 53, false);
  add_part(rule, in, "BYHOUR", 0, 23, true);
  add_part(rule, in, "BYMINUTE", 0, 59, true);
  add_part(rule, in, "BYSECOND", 0, 59, true);
  add_part(rule, in, "BYSETPOS", -40, 40, false);
  if (int days = in.next() % 4) {
    rule += ";BYDAY=";
    for (int i = 0; i < days; ++i) {
      int place = in.next() % 3 == 0 ? in.in(-6, 6) : 0;
      rule += (i ? "," : "") + (place ? std::to_string(place) : std::string()) + kWeekdays[in.next() % 7];
    }
  }
  return rule;
}

bool is_sub_daily(icalrecurrencetype_frequency frequency) {
  return frequency == ICAL_SECONDLY_RECURRENCE || frequency == ICAL_MINUTELY_RECURRENCE ||
         frequency == ICAL_HOURLY_RECURRENCE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  std::string text = rule_text(in);
  icalrecurrencetype rule = icalrecurrencetype_from_string(text.c_str());
  if (rule.freq == ICAL_NO_RECURRENCE) {
    icalerror_clear_errno();
    return 0;
  }
  icaltimetype first = icaltime_null_time();
  first.year = in.in(2000, 2030);
  first.month = in.in(1, 12);
  first.day = in.in(1, 28);
  first.hour = in.in(0, 23);
  first.minute = in.in(0, 59);
  first.second = in.in(0, 59);
  double dtstart = platform::local::wall_seconds(first);
  // Up to three days of a sub-daily rule, three years of any other.
  double longest = is_sub_daily(rule.freq) ? 3 * 86400.0 : 3 * 366 * 86400.0;
  double skip = longest * in.in(0, 255) / 256;
  double length = longest * in.in(1, 255) / 256;

  // A walk from DTSTART, and one that skips ahead.
  double to = dtstart + skip + length;
  RuleSteps from_first = platform::local::walk_rule(rule, first, dtstart, to);
  if (platform::local::rule_gives_no_date(rule, first)) {
    check(from_first.walls.empty(), "a rule taken to give no date gave one", text);
    // libical itself finds none within a stretch of its periods.
    icalrecurrencetype bounded = rule;
    bounded.count = 0;
    double stretch_end = dtstart + (is_sub_daily(rule.freq) ? 2000.0 * 60 : 400.0 * 86400);
    bounded.until = platform::local::ical_wall(platform::local::utc_wall_time(platform::Date{stretch_end}), false);
    if (icalrecur_iterator* iterator = icalrecur_iterator_new(bounded, first)) {
      check(icaltime_is_null_time(icalrecur_iterator_next(iterator)), "libical gave a date", text);
      icalrecur_iterator_free(iterator);
    }
  }
  if (rule.count == 0 && skip > 0) {
    double later = dtstart + skip;
    RuleSteps skipped = platform::local::walk_rule(rule, first, later, to);
    // Where both walks are whole (neither ended at a stretch without dates), they agree.
    if (!from_first.ended && !skipped.ended) {
      double both_to = std::min(from_first.to, skipped.to);
      auto within = [&](const std::vector<double>& walls) {
        std::vector<double> out;
        for (double wall : walls) {
          if (wall >= later && wall < both_to) out.push_back(wall);
        }
        std::sort(out.begin(), out.end());
        return out;
      };
      check(within(from_first.walls) == within(skipped.walls), "a skip ahead left the rule's own dates", text);
    }
  }
  icalerror_clear_errno();
  return 0;
}
