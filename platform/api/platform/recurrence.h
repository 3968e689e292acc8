#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/calendar.h"
#include "platform/date.h"

namespace platform {

// Weekday 1 = Sunday ... 7 = Saturday; week 0 = every such weekday.
struct RecurrenceDayOfWeek {
  std::int64_t day_of_the_week = 0;
  std::int64_t week_number = 0;
  static RecurrenceDayOfWeek make(std::int64_t day, std::int64_t week) { return {day, week}; }
  friend bool operator==(const RecurrenceDayOfWeek&, const RecurrenceDayOfWeek&) = default;
};

struct RecurrenceEnd {
  std::optional<Date> end_date;
  std::uint64_t occurrence_count = 0;  // 0 when the end is a date

  static RecurrenceEnd with_end_date(Date date) { return {date, 0}; }
  static RecurrenceEnd with_occurrence_count(std::uint64_t count) { return {std::nullopt, count}; }
  friend bool operator==(const RecurrenceEnd&, const RecurrenceEnd&) = default;
};

// A recurrence rule. Copying a rule copies every setting, first weekday included;
// a rule made with `make` has first weekday 0, as the platform gives new rules.
struct RecurrenceRule {
  std::int64_t frequency = 0;  // 0 daily, 1 weekly, 2 monthly, 3 yearly
  std::int64_t interval = 1;
  std::int64_t first_day_of_the_week = 0;
  std::optional<std::vector<RecurrenceDayOfWeek>> days_of_the_week;
  std::optional<std::vector<std::int64_t>> days_of_the_month;
  std::optional<std::vector<std::int64_t>> months_of_the_year;
  std::optional<std::vector<std::int64_t>> weeks_of_the_year;
  std::optional<std::vector<std::int64_t>> days_of_the_year;
  std::optional<std::vector<std::int64_t>> set_positions;
  std::optional<RecurrenceEnd> recurrence_end;
  // Backend data carried along by copies (parts of a stored rule the bridge does not read).
  std::shared_ptr<const ItemOrigin> origin;

  // initRecurrenceWithFrequency:interval:daysOfTheWeek:...:end:
  static RecurrenceRule make(std::int64_t frequency, std::int64_t interval,
                             std::optional<std::vector<RecurrenceDayOfWeek>> days_of_the_week,
                             std::optional<std::vector<std::int64_t>> days_of_the_month,
                             std::optional<std::vector<std::int64_t>> months_of_the_year,
                             std::optional<std::vector<std::int64_t>> weeks_of_the_year,
                             std::optional<std::vector<std::int64_t>> days_of_the_year,
                             std::optional<std::vector<std::int64_t>> set_positions,
                             std::optional<RecurrenceEnd> end) {
    RecurrenceRule rule;
    rule.frequency = frequency;
    rule.interval = interval;
    rule.days_of_the_week = std::move(days_of_the_week);
    rule.days_of_the_month = std::move(days_of_the_month);
    rule.months_of_the_year = std::move(months_of_the_year);
    rule.weeks_of_the_year = std::move(weeks_of_the_year);
    rule.days_of_the_year = std::move(days_of_the_year);
    rule.set_positions = std::move(set_positions);
    rule.recurrence_end = std::move(end);
    return rule;
  }
};

}  // namespace platform
