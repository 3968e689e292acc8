#include "platform/eventkit/recurrence_rules.h"

#include <memory>
#include <optional>
#include <vector>

#include "platform/eventkit/date_components.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_array.h"

namespace platform::eventkit {
namespace {

struct StoredRuleOrigin : ItemOrigin {
  EKRecurrenceRule* rule;
  RecurrenceRule as_read;  // its values when read, without origin
};

std::optional<std::vector<std::int64_t>> numbers_of(NSArray<NSNumber*>* _Nullable numbers) {
  if (numbers == nil) return std::nullopt;
  std::vector<std::int64_t> result;
  result.reserve(numbers.count);
  for (NSNumber* number in numbers) result.push_back(number.longLongValue);
  return result;
}

// Nil for no list and for an empty one: the platform is never given an empty array.
NSArray<NSNumber*>* _Nullable ns_numbers(const std::optional<std::vector<std::int64_t>>& numbers) {
  if (!numbers || numbers->empty()) return nil;
  std::vector<id> elements;
  elements.reserve(numbers->size());
  for (std::int64_t number : *numbers) {
    elements.push_back(required([NSNumber numberWithLongLong:number], "numberWithLongLong:"));
  }
  return ns_array(elements);
}

NSArray<EKRecurrenceDayOfWeek*>* _Nullable ns_days(const std::optional<std::vector<RecurrenceDayOfWeek>>& days) {
  if (!days || days->empty()) return nil;
  std::vector<id> elements;
  elements.reserve(days->size());
  for (const RecurrenceDayOfWeek& day : *days) {
    elements.push_back(required([EKRecurrenceDayOfWeek dayOfWeek:static_cast<EKWeekday>(day.day_of_the_week)
                                                       weekNumber:static_cast<NSInteger>(day.week_number)],
                                "dayOfWeek:weekNumber:"));
  }
  return ns_array(elements);
}

std::optional<RecurrenceEnd> end_of(EKRecurrenceEnd* _Nullable end) {
  if (end == nil) return std::nullopt;
  if (NSDate* date = end.endDate) return RecurrenceEnd::with_end_date(date_of(date));
  return RecurrenceEnd::with_occurrence_count(end.occurrenceCount);
}

EKRecurrenceEnd* _Nullable ek_end(const std::optional<RecurrenceEnd>& end) {
  if (!end) return nil;
  if (end->end_date) return required([EKRecurrenceEnd recurrenceEndWithEndDate:ns_date(*end->end_date)],
                                     "recurrenceEndWithEndDate:");
  if (end->occurrence_count == 0) return nil;
  return required([EKRecurrenceEnd recurrenceEndWithOccurrenceCount:end->occurrence_count],
                  "recurrenceEndWithOccurrenceCount:");
}

bool same_apart_from_end(const RecurrenceRule& a, const RecurrenceRule& b) {
  return a.frequency == b.frequency && a.interval == b.interval &&
         a.first_day_of_the_week == b.first_day_of_the_week && a.days_of_the_week == b.days_of_the_week &&
         a.days_of_the_month == b.days_of_the_month && a.months_of_the_year == b.months_of_the_year &&
         a.weeks_of_the_year == b.weeks_of_the_year && a.days_of_the_year == b.days_of_the_year &&
         a.set_positions == b.set_positions;
}

}  // namespace

RecurrenceRule rule_of(EKRecurrenceRule* rule) {
  RecurrenceRule result;
  result.frequency = rule.frequency;
  result.interval = rule.interval;
  result.first_day_of_the_week = rule.firstDayOfTheWeek;
  if (NSArray<EKRecurrenceDayOfWeek*>* days = rule.daysOfTheWeek) {
    result.days_of_the_week.emplace();
    result.days_of_the_week->reserve(days.count);
    for (EKRecurrenceDayOfWeek* day in days) {
      result.days_of_the_week->push_back(RecurrenceDayOfWeek::make(day.dayOfTheWeek, day.weekNumber));
    }
  }
  result.days_of_the_month = numbers_of(rule.daysOfTheMonth);
  result.months_of_the_year = numbers_of(rule.monthsOfTheYear);
  result.weeks_of_the_year = numbers_of(rule.weeksOfTheYear);
  result.days_of_the_year = numbers_of(rule.daysOfTheYear);
  result.set_positions = numbers_of(rule.setPositions);
  result.recurrence_end = end_of(rule.recurrenceEnd);

  auto origin = std::make_shared<StoredRuleOrigin>();
  origin->rule = rule;
  origin->as_read = result;
  result.origin = std::move(origin);
  return result;
}

EKRecurrenceRule* ek_rule(const RecurrenceRule& rule) {
  // A stored rule handed back with nothing but its end changed: a copy with the new end.
  auto stored = std::dynamic_pointer_cast<const StoredRuleOrigin>(rule.origin);
  if (stored && same_apart_from_end(rule, stored->as_read)) {
    EKRecurrenceRule* copy = required([stored->rule copy], "EKRecurrenceRule copy");
    copy.recurrenceEnd = ek_end(rule.recurrence_end);
    return copy;
  }
  return required([[EKRecurrenceRule alloc] initRecurrenceWithFrequency:static_cast<EKRecurrenceFrequency>(rule.frequency)
                                                               interval:static_cast<NSInteger>(rule.interval)
                                                          daysOfTheWeek:ns_days(rule.days_of_the_week)
                                                         daysOfTheMonth:ns_numbers(rule.days_of_the_month)
                                                        monthsOfTheYear:ns_numbers(rule.months_of_the_year)
                                                         weeksOfTheYear:ns_numbers(rule.weeks_of_the_year)
                                                          daysOfTheYear:ns_numbers(rule.days_of_the_year)
                                                           setPositions:ns_numbers(rule.set_positions)
                                                                    end:ek_end(rule.recurrence_end)],
                  "initRecurrenceWithFrequency:...");
}

}  // namespace platform::eventkit
