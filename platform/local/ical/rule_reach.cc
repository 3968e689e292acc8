#include "platform/local/ical/rule_reach.h"

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace platform::local {

namespace {

// libical's iterator gives no date after this year.
constexpr int kLastYear = 2582;
// The Gregorian calendar repeats every 400 years: 4800 months.
constexpr int kMonthsInCycle = 4800;
constexpr int kYearsInCycle = 400;

int days_in_month(int month, int year) {
  return static_cast<int>(static_cast<unsigned>((std::chrono::year(year) / month / std::chrono::last).day()));
}

// 1 = Sunday ... 7 = Saturday, as libical numbers weekdays.
int weekday(int year, int month, int day) {
  std::chrono::sys_days first_of_month(std::chrono::year(year) / month / 1);
  return static_cast<int>(std::chrono::weekday(first_of_month + std::chrono::days(day - 1)).c_encoding()) + 1;
}

// A BY part that filters (rather than expands) compares the value itself: a negative
// day or a weekday with an ordinal never matches.
bool some_day_passes_filters(const icalrecurrencetype& rule, bool year_days_filter) {
  for (int leap = 0; leap < 2; ++leap) {
    int year_day = 0;
    for (int month = 1; month <= 12; ++month) {
      int length = days_in_month(month, leap ? 2000 : 2001);
      for (int day = 1; day <= length; ++day) {
        ++year_day;
        if (lets_through(rule.by_month, month) && lets_through(rule.by_month_day, day) &&
            (!year_days_filter || lets_through(rule.by_year_day, year_day))) {
          return true;
        }
      }
    }
  }
  return false;
}

bool filters_some_weekday(const icalrecurrencetype& rule, int only_weekday) {
  if (!given(rule.by_day)) return true;
  for (int i = 0; rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
    short entry = rule.by_day[i];
    if (entry >= 1 && entry <= 7 && (only_weekday == 0 || entry == only_weekday)) return true;
  }
  return false;
}

// The days of one month or year that a MONTHLY or YEARLY rule expands to, as libical
// builds them: BYMONTHDAY (else DTSTART's day) in each month, kept or replaced by the
// BYDAY days, then chosen by BYSETPOS.
class PeriodDays {
 public:
  PeriodDays(const icalrecurrencetype& rule, const icaltimetype& first) : rule_(rule), first_(first) {}

  bool month_gives(int year, int month) {
    days_.reset();
    add_month(year, month, 0, true);
    return chosen();
  }

  bool year_gives(int year) {
    days_.reset();
    // Within each month of BYMONTH (else DTSTART's month), or the whole year when BYDAY
    // stands alone.
    bool whole_year = given(rule_.by_day) && !given(rule_.by_month) && !given(rule_.by_month_day);
    int offset = 0;
    // BYDAY's places count within each month of BYMONTH, else within the year.
    bool by_month = given(rule_.by_month);
    for (int month = 1; month <= 12; ++month) {
      bool wanted = whole_year || (by_month ? lets_through(rule_.by_month, month) : month == first_.month);
      if (wanted) add_month(year, month, offset, by_month);
      offset += days_in_month(month, year);
    }
    if (!by_month) keep_weekdays(year, 1, 1, 365 + std::chrono::year(year).is_leap());
    return chosen();
  }

 private:
  void add_month(int year, int month, int offset, bool weekdays_here) {
    int length = days_in_month(month, year);
    if (given(rule_.by_month_day)) {
      for (int i = 0; rule_.by_month_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        int day = rule_.by_month_day[i] < 0 ? length + 1 + rule_.by_month_day[i] : rule_.by_month_day[i];
        if (day >= 1 && day <= length) days_.set(offset + day);
      }
    } else if (given(rule_.by_day)) {
      for (int day = 1; day <= length; ++day) days_.set(offset + day);
    } else if (first_.day <= length) {
      days_.set(offset + first_.day);
    }
    if (weekdays_here) keep_weekdays(year, month, offset + 1, length);
  }

  // Keeps the days from `first_bit` on (`length` of them, the period starting on
  // `month`'s first day) whose weekday, and place among those weekdays, BYDAY names.
  void keep_weekdays(int year, int month, int first_bit, int length) {
    if (!given(rule_.by_day)) return;
    int first_weekday = weekday(year, month, 1);
    for (int index = 1; index <= length; ++index) {
      if (!days_.test(first_bit + index - 1)) continue;
      int day_weekday = (first_weekday - 1 + index - 1) % 7 + 1;
      int from_start = (index - 1) / 7 + 1, from_end = (length - index) / 7 + 1;
      bool kept = false;
      for (int i = 0; rule_.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX && !kept; ++i) {
        int entry_weekday = icalrecurrencetype_day_day_of_week(rule_.by_day[i]);
        int place = icalrecurrencetype_day_position(rule_.by_day[i]);
        kept = entry_weekday == day_weekday && (place == 0 || place == from_start || -place == from_end);
      }
      if (!kept) days_.reset(first_bit + index - 1);
    }
  }

  bool chosen() const {
    int count = static_cast<int>(days_.count());
    if (count == 0 || !given(rule_.by_set_pos)) return count > 0;
    for (int i = 0; rule_.by_set_pos[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
      if (std::abs(rule_.by_set_pos[i]) <= count && rule_.by_set_pos[i] != 0) return true;
    }
    return false;
  }

  const icalrecurrencetype& rule_;
  const icaltimetype& first_;
  std::bitset<400> days_;
};

bool monthly_gives(const icalrecurrencetype& rule, const icaltimetype& first) {
  PeriodDays days(rule, first);
  int interval = std::max<int>(rule.interval, 1);
  long month_index = static_cast<long>(first.year) * 12 + (first.month - 1);
  for (int step = 0; step < kMonthsInCycle && month_index / 12 <= kLastYear; ++step, month_index += interval) {
    int year = static_cast<int>(month_index / 12), month = static_cast<int>(month_index % 12) + 1;
    if (!lets_through(rule.by_month, month)) continue;
    if (days.month_gives(year, month)) return true;
  }
  return false;
}

bool yearly_gives(const icalrecurrencetype& rule, const icaltimetype& first) {
  // libical refuses BYYEARDAY and BYWEEKNO beside the parts it cannot join at once;
  // what it takes of them is left to the walk.
  if (given(rule.by_year_day) || given(rule.by_week_no)) return true;
  PeriodDays days(rule, first);
  int interval = std::max<int>(rule.interval, 1);
  for (int step = 0, year = first.year; step < kYearsInCycle && year <= kLastYear; ++step, year += interval) {
    if (days.year_gives(year)) return true;
  }
  return false;
}

}  // namespace

bool given(const short* part) { return part[0] != ICAL_RECURRENCE_ARRAY_MAX; }

bool lets_through(const short* part, int value) {
  for (int i = 0; part[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
    if (part[i] == value) return true;
  }
  return !given(part);
}

bool rule_gives_no_date(const icalrecurrencetype& rule, const icaltimetype& first) {
  // Non-Gregorian scales number their months and days otherwise.
  if (rule.rscale != nullptr && std::string_view(rule.rscale) != "GREGORIAN" &&
      std::string_view(rule.rscale) != "gregorian") {
    return false;
  }
  if (first.year < 1 || first.month < 1 || first.month > 12 || first.day < 1) return false;
  switch (rule.freq) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
      // Times of day always meet: libical's first step takes the first value of each
      // BYHOUR, BYMINUTE and BYSECOND.
      return !some_day_passes_filters(rule, true) || !filters_some_weekday(rule, 0);
    case ICAL_DAILY_RECURRENCE: {
      // Every seventh day is DTSTART's weekday.
      int only = rule.interval % 7 == 0 ? weekday(first.year, first.month, first.day) : 0;
      return !some_day_passes_filters(rule, false) || !filters_some_weekday(rule, only);
    }
    case ICAL_MONTHLY_RECURRENCE: return !monthly_gives(rule, first);
    case ICAL_YEARLY_RECURRENCE: return !yearly_gives(rule, first);
    default: return false;
  }
}

}  // namespace platform::local
