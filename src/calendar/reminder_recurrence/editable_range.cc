#include "calendar/reminder_recurrence/editable_range.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bridge {
namespace {

constexpr std::int64_t kDaily = 0, kWeekly = 1, kMonthly = 2, kYearly = 3;
constexpr std::int64_t kMaxInterval = 2147483647;
constexpr std::size_t kMaxListEntries = 366;

// Every entry lies in -limit..-1 or 1..limit.
bool all_within_nonzero(const std::vector<std::int64_t>& list, std::int64_t limit) {
  return list.size() <= kMaxListEntries && std::all_of(list.begin(), list.end(), [limit](std::int64_t v) {
           return v != 0 && v >= -limit && v <= limit;
         });
}

// Monthly rules count weeks within a month, weekly rules cannot count them at all.
std::int64_t week_limit(std::int64_t frequency) {
  if (frequency == kWeekly) return 0;
  if (frequency == kMonthly) return 5;
  return 53;
}

bool days_of_week_within(const std::vector<Day>& days, std::int64_t frequency) {
  std::int64_t limit = week_limit(frequency);
  return days.size() <= kMaxListEntries && std::all_of(days.begin(), days.end(), [limit](const Day& d) {
           return d.day >= 1 && d.day <= 7 && d.week >= -limit && d.week <= limit;
         });
}

bool lists_allowed_by_frequency(const Rule& rule, std::int64_t frequency) {
  bool days_of_week_allowed = frequency != kDaily;
  bool days_of_month_allowed = frequency == kMonthly;
  bool yearly_lists_allowed = frequency == kYearly;
  return (days_of_week_allowed || rule.days_of_week.empty()) &&
         (days_of_month_allowed || rule.days_of_month.empty()) &&
         (yearly_lists_allowed || (rule.months_of_year.empty() && rule.weeks_of_year.empty() &&
                                   rule.days_of_year.empty()));
}

// Set positions pick among the occurrences another list selects; alone they select nothing.
bool set_positions_have_companion(const Rule& rule) {
  return rule.set_positions.empty() || !rule.days_of_week.empty() || !rule.days_of_month.empty() ||
         !rule.months_of_year.empty() || !rule.weeks_of_year.empty() || !rule.days_of_year.empty();
}

// A rule that only keeps its meaning with its first weekday.
bool needs_first_weekday(const Rule& rule) {
  return rule.first_day_of_week != 0 &&
         (!rule.days_of_week.empty() || !rule.weeks_of_year.empty() || !rule.set_positions.empty());
}

}  // namespace

bool within_editable_range(const Rule& rule, std::int64_t frequency, bool reuses_stored_rule) {
  if (rule.interval < 1 || rule.interval > kMaxInterval) return false;
  if (!reuses_stored_rule && needs_first_weekday(rule)) return false;
  if (!days_of_week_within(rule.days_of_week, frequency)) return false;
  if (!all_within_nonzero(rule.days_of_month, 31)) return false;
  if (rule.months_of_year.size() > kMaxListEntries ||
      !std::all_of(rule.months_of_year.begin(), rule.months_of_year.end(),
                   [](std::int64_t month) { return month >= 1 && month <= 12; })) {
    return false;
  }
  if (!all_within_nonzero(rule.weeks_of_year, 53)) return false;
  if (!all_within_nonzero(rule.days_of_year, 366)) return false;
  if (!all_within_nonzero(rule.set_positions, 366)) return false;
  return lists_allowed_by_frequency(rule, frequency) && set_positions_have_companion(rule);
}

}  // namespace bridge
