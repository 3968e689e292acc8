#include "calendar/reminder_recurrence/rule_record.h"

#include <array>
#include <limits>

namespace bridge {
namespace {

constexpr std::array<std::string_view, 4> kFrequencyTexts = {"daily", "weekly", "monthly", "yearly"};

// A JSON integer within the signed 64-bit range. Integers beyond the unsigned
// range arrive as floats and are refused with every other fraction or exponent.
std::optional<std::int64_t> read_int64(const Json& value) {
  if (value.type() == Json::value_t::number_integer) return value.get<std::int64_t>();
  if (value.type() == Json::value_t::number_unsigned) {
    auto number = value.get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return static_cast<std::int64_t>(number);
    }
  }
  return std::nullopt;
}

// A non-negative JSON integer within the unsigned 64-bit range.
std::optional<std::uint64_t> read_uint64(const Json& value) {
  if (value.type() == Json::value_t::number_unsigned) return value.get<std::uint64_t>();
  if (value.type() == Json::value_t::number_integer) {
    auto number = value.get<std::int64_t>();
    if (number >= 0) return static_cast<std::uint64_t>(number);
  }
  return std::nullopt;
}

// An array whose every element `read` takes; the first it refuses fails the whole.
template <class T, class Read>
bool read_list(const Json& value, std::vector<T>& out, Read read) {
  if (!value.is_array()) return false;
  out.reserve(value.size());
  for (const Json& element : value) {
    auto item = read(element);
    if (!item) return false;
    out.push_back(std::move(*item));
  }
  return true;
}

bool read_int_list(const Json& value, std::vector<std::int64_t>& out) { return read_list(value, out, read_int64); }

std::optional<Day> read_day(const Json& value) {
  if (!value.is_object()) return std::nullopt;
  std::optional<std::int64_t> day, week;
  for (const auto& [key, field] : value.items()) {
    if (key == "day") {
      day = read_int64(field);
      if (!day) return std::nullopt;
    } else if (key == "week") {
      week = read_int64(field);
      if (!week) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!day || !week) return std::nullopt;
  return Day{*day, *week};
}

// An end is told apart by its only key: {"until": text} first, then {"count": n}.
bool read_end(const Json& value, std::optional<End>& out) {
  if (value.is_null()) {
    out.reset();
    return true;
  }
  if (!value.is_object() || value.size() != 1) return false;
  if (auto until = value.find("until"); until != value.end()) {
    if (!until->is_string()) return false;
    out = Until{until->get<std::string>()};
    return true;
  }
  if (auto count = value.find("count"); count != value.end()) {
    auto number = read_uint64(*count);
    if (!number) return false;
    out = Count{*number};
    return true;
  }
  return false;
}

bool read_field(const std::string& key, const Json& field, Rule& rule, bool& has_frequency, bool& has_interval) {
  if (key == "frequency") {
    if (!field.is_string()) return false;
    rule.frequency = field.get<std::string>();
    has_frequency = true;
    return true;
  }
  if (key == "interval") {
    auto number = read_int64(field);
    if (!number) return false;
    rule.interval = *number;
    has_interval = true;
    return true;
  }
  if (key == "firstDayOfWeek") {
    auto number = read_int64(field);
    if (!number) return false;
    rule.first_day_of_week = *number;
    return true;
  }
  if (key == "daysOfWeek") return read_list(field, rule.days_of_week, read_day);
  if (key == "daysOfMonth") return read_int_list(field, rule.days_of_month);
  if (key == "monthsOfYear") return read_int_list(field, rule.months_of_year);
  if (key == "weeksOfYear") return read_int_list(field, rule.weeks_of_year);
  if (key == "daysOfYear") return read_int_list(field, rule.days_of_year);
  if (key == "setPositions") return read_int_list(field, rule.set_positions);
  if (key == "end") return read_end(field, rule.end);
  return false;
}

std::optional<Rule> read_rule(const Json& value) {
  if (!value.is_object()) return std::nullopt;
  Rule rule;
  bool has_frequency = false, has_interval = false;
  for (const auto& [key, field] : value.items()) {
    if (!read_field(key, field, rule, has_frequency, has_interval)) return std::nullopt;
  }
  if (!has_frequency || !has_interval) return std::nullopt;
  return rule;
}

void write_list_if_any(Json& object, const char* key, const std::vector<std::int64_t>& list) {
  if (!list.empty()) object[key] = list;
}

}  // namespace

std::optional<std::vector<Rule>> read_rules(const Json& value) {
  std::vector<Rule> rules;
  if (!read_list(value, rules, read_rule)) return std::nullopt;
  return rules;
}

Json write_rule(const Rule& rule) {
  Json object = Json::object();
  object["frequency"] = rule.frequency;
  object["interval"] = rule.interval;
  if (!rule.days_of_week.empty()) {
    Json days = Json::array();
    for (const Day& day : rule.days_of_week) days.push_back(Json{{"day", day.day}, {"week", day.week}});
    object["daysOfWeek"] = std::move(days);
  }
  write_list_if_any(object, "daysOfMonth", rule.days_of_month);
  write_list_if_any(object, "monthsOfYear", rule.months_of_year);
  write_list_if_any(object, "weeksOfYear", rule.weeks_of_year);
  write_list_if_any(object, "daysOfYear", rule.days_of_year);
  write_list_if_any(object, "setPositions", rule.set_positions);
  if (rule.first_day_of_week != 0) object["firstDayOfWeek"] = rule.first_day_of_week;
  if (rule.end) {
    if (const auto* until = std::get_if<Until>(&*rule.end)) {
      object["end"] = Json{{"until", until->text}};
    } else {
      object["end"] = Json{{"count", std::get<Count>(*rule.end).count}};
    }
  }
  return object;
}

std::optional<std::int64_t> frequency_number(std::string_view text) {
  for (std::size_t i = 0; i < kFrequencyTexts.size(); ++i) {
    if (kFrequencyTexts[i] == text) return static_cast<std::int64_t>(i);
  }
  return std::nullopt;
}

std::string_view frequency_text(std::int64_t number) {
  if (number >= 0 && number < 3) return kFrequencyTexts[static_cast<std::size_t>(number)];
  return kFrequencyTexts[3];
}

}  // namespace bridge
