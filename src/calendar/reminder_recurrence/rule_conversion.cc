#include "calendar/reminder_recurrence/rule_conversion.h"

#include <cmath>
#include <cstdint>

#include "calendar/command/rfc3339.h"
#include "calendar/reminder_recurrence/editable_range.h"
#include "calendar/reminder_recurrence/rule_record.h"

namespace bridge {
namespace {

constexpr const char* kMalformedRules = "重复规则格式无效";
constexpr const char* kTooManyRules = "重复规则过多";
constexpr const char* kInvalidFrequency = "重复频率无效";
constexpr const char* kBeyondEditableRange = "重复规则超出可编辑范围，请在 Apple 提醒事项中编辑此自定义规则";
constexpr const char* kCountNotPositive = "重复次数必须大于零";
constexpr const char* kInvalidEndDate = "重复结束日期无效";

constexpr std::size_t kMaxRules = 16;
constexpr std::uint64_t kMaxCount = 2147483647;
// Far beyond the writable years, yet exactly representable and safe to convert.
constexpr double kMillisecondBound = 1e17;

template <typename T>
std::vector<T> list_or_empty(const std::optional<std::vector<T>>& list) {
  return list ? *list : std::vector<T>{};
}

template <typename T>
std::optional<std::vector<T>> nothing_if_empty(const std::vector<T>& list) {
  if (list.empty()) return std::nullopt;
  return list;
}

std::optional<End> record_end(const platform::RecurrenceRule& rule) {
  if (!rule.recurrence_end) return std::nullopt;
  const platform::RecurrenceEnd& end = *rule.recurrence_end;
  if (end.end_date) {
    // Rounded to the nearest millisecond, halves away from zero; an instant
    // that has no text (NaN, infinite, beyond the writable years) has no end.
    double millis = std::round(end.end_date->time_interval_since_1970() * 1000.0);
    if (!(std::fabs(millis) < kMillisecondBound)) return std::nullopt;
    auto text = format_rfc3339_utc_millis(static_cast<std::int64_t>(millis));
    if (!text) return std::nullopt;
    return Until{std::move(*text)};
  }
  if (end.occurrence_count != 0) return Count{end.occurrence_count};
  return std::nullopt;
}

Rule record_of(const platform::RecurrenceRule& rule) {
  Rule record;
  record.frequency = std::string(frequency_text(rule.frequency));
  record.interval = rule.interval;
  if (rule.days_of_the_week) {
    for (const auto& day : *rule.days_of_the_week) record.days_of_week.push_back({day.day_of_the_week, day.week_number});
  }
  record.days_of_month = list_or_empty(rule.days_of_the_month);
  record.months_of_year = list_or_empty(rule.months_of_the_year);
  record.weeks_of_year = list_or_empty(rule.weeks_of_the_year);
  record.days_of_year = list_or_empty(rule.days_of_the_year);
  record.set_positions = list_or_empty(rule.set_positions);
  record.first_day_of_week = rule.first_day_of_the_week;
  record.end = record_end(rule);
  return record;
}

// A requested rule equals the stored one when their records match apart from the end.
bool same_apart_from_end(const Rule& requested, const platform::RecurrenceRule& stored) {
  Json stored_record = rule_to_record(stored);
  Json requested_record = write_rule(requested);
  stored_record.erase("end");
  requested_record.erase("end");
  return stored_record == requested_record;
}

// The platform end of a requested rule, or the message that refuses it.
Expected<std::optional<platform::RecurrenceEnd>> platform_end(const std::optional<End>& end) {
  if (!end) return std::optional<platform::RecurrenceEnd>{};
  if (const auto* count = std::get_if<Count>(&*end)) {
    if (count->count < 1 || count->count > kMaxCount) return Failure{kCountNotPositive};
    return std::optional{platform::RecurrenceEnd::with_occurrence_count(count->count)};
  }
  auto until = parse_rfc3339(std::get<Until>(*end).text);
  if (!until) return Failure{kInvalidEndDate};
  auto date = platform::Date::with_time_interval_since_1970(static_cast<double>(until->unix_milliseconds) / 1000.0);
  return std::optional{platform::RecurrenceEnd::with_end_date(date)};
}

platform::RecurrenceRule new_platform_rule(const Rule& rule, std::int64_t frequency,
                                           std::optional<platform::RecurrenceEnd> end) {
  std::optional<std::vector<platform::RecurrenceDayOfWeek>> days;
  if (!rule.days_of_week.empty()) {
    days.emplace();
    days->reserve(rule.days_of_week.size());
    for (const Day& day : rule.days_of_week) days->push_back(platform::RecurrenceDayOfWeek::make(day.day, day.week));
  }
  return platform::RecurrenceRule::make(frequency, rule.interval, std::move(days), nothing_if_empty(rule.days_of_month),
                                        nothing_if_empty(rule.months_of_year), nothing_if_empty(rule.weeks_of_year),
                                        nothing_if_empty(rule.days_of_year), nothing_if_empty(rule.set_positions),
                                        std::move(end));
}

bool non_empty_array_at(const Json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_array() && !found->empty();
}

}  // namespace

Json rule_to_record(const platform::RecurrenceRule& rule) { return write_rule(record_of(rule)); }

Expected<RuleList> build_recurrence_rules(const Json& value, const std::optional<RuleList>& current) {
  auto rules = read_rules(value);
  if (!rules) return Failure{kMalformedRules};
  if (rules->size() > kMaxRules) return Failure{kTooManyRules};

  RuleList result;
  result.reserve(rules->size());
  for (std::size_t i = 0; i < rules->size(); ++i) {
    const Rule& rule = (*rules)[i];
    // Only the stored rule at the same position is a candidate for reuse.
    const platform::RecurrenceRule* stored = nullptr;
    if (current && i < current->size() && same_apart_from_end(rule, (*current)[i])) stored = &(*current)[i];

    auto frequency = frequency_number(rule.frequency);
    if (!frequency) return Failure{kInvalidFrequency};
    if (!within_editable_range(rule, *frequency, stored != nullptr)) return Failure{kBeyondEditableRange};
    auto end = platform_end(rule.end);
    if (!end.ok()) return std::move(end.error());
    auto& platform_end_value = end.value();

    if (stored) {
      // The copy keeps every stored setting, first weekday included; only the end changes.
      platform::RecurrenceRule copy = *stored;
      copy.recurrence_end = std::move(platform_end_value);
      result.push_back(std::move(copy));
    } else {
      result.push_back(new_platform_rule(rule, *frequency, std::move(platform_end_value)));
    }
  }
  return result;
}

bool depends_on_first_weekday(const Json& rule) {
  if (!rule.is_object()) return false;
  auto first_day = rule.find("firstDayOfWeek");
  if (first_day == rule.end()) return false;
  bool non_zero_integer = (first_day->is_number_unsigned() && first_day->get<std::uint64_t>() != 0) ||
                          (first_day->type() == Json::value_t::number_integer && first_day->get<std::int64_t>() != 0);
  return non_zero_integer && (non_empty_array_at(rule, "daysOfWeek") || non_empty_array_at(rule, "weeksOfYear") ||
                              non_empty_array_at(rule, "setPositions"));
}

}  // namespace bridge
