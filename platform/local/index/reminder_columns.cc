#include "platform/local/index/reminder_columns.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/index/byte_form.h"
#include "platform/local/reminders/reminder_origin.h"

namespace platform::local {

namespace {

std::optional<std::int64_t> integer_of(std::string_view text) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The next space-separated token of `rest`, taken off it.
std::optional<std::string_view> take_token(std::string_view& rest) {
  if (rest.empty()) return std::nullopt;
  std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::string_view token = rest.substr(0, space);
  rest.remove_prefix(space + 1);
  return token;
}

std::optional<std::vector<ReminderColumns::Alarm>> alarm_columns(const std::vector<Alarm>& alarms) {
  std::vector<ReminderColumns::Alarm> columns;
  for (const Alarm& alarm : alarms) {
    ReminderColumns::Alarm column;
    if (alarm.origin) {
      auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
      if (!stored || stored->absolute_date != alarm.absolute_date) return std::nullopt;
      column.block = stored->block;
    }
    if (alarm.absolute_date) {
      if (!std::isfinite(alarm.absolute_date->seconds_since_1970)) return std::nullopt;
      column.seconds_since_1970 = alarm.absolute_date->seconds_since_1970;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

std::vector<Alarm> alarms_from(std::vector<ReminderColumns::Alarm> columns) {
  std::vector<Alarm> alarms;
  alarms.reserve(columns.size());
  for (ReminderColumns::Alarm& column : columns) {
    Alarm alarm;
    if (column.seconds_since_1970) alarm.absolute_date = Date{*column.seconds_since_1970};
    if (column.block) {
      auto origin = std::make_shared<StoredAlarmOrigin>();
      origin->block = std::move(*column.block);
      origin->absolute_date = alarm.absolute_date;
      alarm.origin = std::move(origin);
    }
    alarms.push_back(std::move(alarm));
  }
  return alarms;
}

bool rules_from(std::vector<std::string> values, ReminderRow& row) {
  std::vector<RecurrenceRule> rules;
  rules.reserve(values.size());
  for (const std::string& value : values) {
    auto rule = rule_from_rrule_value(value);
    if (!rule) return false;
    rules.push_back(std::move(*rule));
  }
  row.fields.recurrence_rules = std::move(rules);
  row.rule_values = std::move(values);
  return true;
}

}  // namespace

std::string packed_columns(const ReminderColumns& c) {
  ByteWriter out;
  out.optional_text(c.uid);
  out.text(c.title);
  out.optional_text(c.notes);
  out.optional_text(c.url);
  out.optional_text(c.zone);
  out.flag(c.completed);
  out.integer(c.priority);
  out.optional_text(c.start);
  out.optional_text(c.due);
  out.count(c.alarms.size());
  for (const ReminderColumns::Alarm& alarm : c.alarms) {
    out.optional_text(alarm.block);
    out.flag(alarm.seconds_since_1970.has_value());
    if (alarm.seconds_since_1970) out.real(*alarm.seconds_since_1970);
  }
  out.count(c.rules.size());
  for (const std::string& rule : c.rules) out.text(rule);
  return out.take();
}

std::optional<ReminderColumns> unpacked_columns(std::string_view packed) {
  ByteReader in(packed);
  ReminderColumns c;
  c.uid = in.optional_text();
  c.title = in.text();
  c.notes = in.optional_text();
  c.url = in.optional_text();
  c.zone = in.optional_text();
  c.completed = in.flag();
  c.priority = in.integer();
  c.start = in.optional_text();
  c.due = in.optional_text();
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    ReminderColumns::Alarm& alarm = c.alarms.emplace_back();
    alarm.block = in.optional_text();
    if (in.flag()) alarm.seconds_since_1970 = in.real();
  }
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) c.rules.push_back(in.text());
  if (!in.done()) return std::nullopt;
  return c;
}

ReminderRowRef row_from_packed(std::string_view packed) {
  auto columns = unpacked_columns(packed);
  return columns ? row_from_columns(std::move(*columns)) : nullptr;
}

std::string zone_text(const TimeZone& zone) {
  if (auto offset = zone.fixed_offset_seconds()) return "=" + std::to_string(*offset);
  return "@" + zone.name();
}

std::optional<TimeZone> zone_from_text(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text[0] == '@') return TimeZone::named(std::string(text.substr(1)));
  if (text[0] != '=') return std::nullopt;
  auto offset = integer_of(text.substr(1));
  if (!offset || *offset < std::numeric_limits<int>::min() || *offset > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return TimeZone::for_seconds_from_gmt(static_cast<int>(*offset));
}

std::optional<std::string> components_text(const DateComponents& c) {
  std::string text;
  for (std::int64_t field : {c.year, c.month, c.day, c.hour, c.minute, c.second, c.nanosecond}) {
    text += field == kUndefinedComponent ? "-" : std::to_string(field);
    text += ' ';
  }
  if (c.calendar && (c.calendar->empty() || c.calendar->find(' ') != std::string::npos || *c.calendar == "-")) {
    return std::nullopt;
  }
  text += c.calendar ? *c.calendar : "-";
  text += ' ';
  text += c.time_zone ? zone_text(*c.time_zone) : "-";
  return text;
}

std::optional<DateComponents> components_from_text(std::string_view rest) {
  DateComponents c;
  for (std::int64_t* field : {&c.year, &c.month, &c.day, &c.hour, &c.minute, &c.second, &c.nanosecond}) {
    auto token = take_token(rest);
    if (!token) return std::nullopt;
    if (*token == "-") continue;
    auto value = integer_of(*token);
    if (!value || *value == kUndefinedComponent) return std::nullopt;
    *field = *value;
  }
  auto calendar = take_token(rest);
  if (!calendar || calendar->empty()) return std::nullopt;
  if (*calendar != "-") c.calendar = std::string(*calendar);
  if (rest != "-") {
    c.time_zone = zone_from_text(rest);
    if (!c.time_zone) return std::nullopt;
  }
  return c;
}

std::optional<ReminderColumns> columns_of(const ReminderRow& row) {
  if (row.follows_local_zone) return std::nullopt;
  const ReminderFields& f = row.fields;
  ReminderColumns columns;
  columns.uid = f.calendar_item_external_identifier;
  columns.title = f.title;
  columns.notes = f.notes;
  if (f.url) columns.url = f.url->absolute_string;
  if (f.time_zone) columns.zone = zone_text(*f.time_zone);
  columns.completed = f.completed;
  columns.priority = f.priority;
  if (f.start_date_components && !(columns.start = components_text(*f.start_date_components))) return std::nullopt;
  if (f.due_date_components && !(columns.due = components_text(*f.due_date_components))) return std::nullopt;
  std::size_t rule_count = f.recurrence_rules ? f.recurrence_rules->size() : 0;
  if (rule_count != row.rule_values.size()) return std::nullopt;
  auto alarms = alarm_columns(f.alarms);
  if (!alarms) return std::nullopt;
  columns.alarms = std::move(*alarms);
  columns.rules = row.rule_values;
  return columns;
}

ReminderRowRef row_from_columns(ReminderColumns columns) {
  auto row = std::make_shared<ReminderRow>();
  ReminderFields& f = row->fields;
  f.calendar_item_external_identifier = std::move(columns.uid);
  f.title = std::move(columns.title);
  f.notes = std::move(columns.notes);
  if (columns.url) f.url = Url{std::move(*columns.url)};
  if (columns.zone && !(f.time_zone = zone_from_text(*columns.zone))) return nullptr;
  f.completed = columns.completed;
  f.priority = columns.priority;
  if (columns.start && !(f.start_date_components = components_from_text(*columns.start))) return nullptr;
  if (columns.due && !(f.due_date_components = components_from_text(*columns.due))) return nullptr;
  f.alarms = alarms_from(std::move(columns.alarms));
  if (!columns.rules.empty() && !rules_from(std::move(columns.rules), *row)) return nullptr;
  return row;
}

}  // namespace platform::local
