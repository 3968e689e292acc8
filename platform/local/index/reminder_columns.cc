#include "platform/local/index/reminder_columns.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/local/ical/content_lines.h"
#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/index/byte_form.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/text/foundation_url_syntax.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

// PRIORITY's values in RFC 5545; a file's other values are read from the file each time.
constexpr std::int64_t kLowestPriority = 0;
constexpr std::int64_t kHighestPriority = 9;
// Beyond the instants of years 0 to 9999 in any zone: an alarm further out is damage.
constexpr double kFarthestAlarmSeconds = 1e12;

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

bool valid_text(const std::optional<std::string>& text) { return !text || text::is_valid_utf8(*text); }

// One VALARM as a file's lines hold it, ending with its line break: a save puts it
// back into the file as it is.
bool is_alarm_block(std::string_view block) {
  if (block.empty() || (block.back() != '\n' && block.back() != '\r')) return false;
  std::vector<ContentLine> lines = split_content_lines(block);
  std::vector<ComponentSpan> alarms = child_components(lines, std::nullopt, "VALARM");
  return alarms.size() == 1 && alarms[0].begin_line == 0 && alarms[0].end_line + 1 == lines.size();
}

// Only what reading a file gives: texts in UTF-8, a URL the platform accepts, a
// priority of 0 to 9, alarms at finite instants with blocks of one VALARM each, and
// rule values of one line. The date and zone texts are checked as they are read.
bool as_read_from_a_file(const ReminderColumns& c) {
  if (!valid_text(c.uid) || !text::is_valid_utf8(c.title) || !valid_text(c.notes) || !valid_text(c.zone) ||
      !valid_text(c.start) || !valid_text(c.due) || (c.url && !foundation_url_accepts(*c.url))) {
    return false;
  }
  if (c.priority < kLowestPriority || c.priority > kHighestPriority) return false;
  for (const ReminderColumns::Alarm& alarm : c.alarms) {
    if (alarm.block && !is_alarm_block(*alarm.block)) return false;
    // Also refuses NaN.
    if (alarm.seconds_since_1970 && !(std::fabs(*alarm.seconds_since_1970) <= kFarthestAlarmSeconds)) return false;
  }
  for (const std::string& rule : c.rules) {
    if (rule.find_first_of("\r\n") != std::string::npos) return false;
  }
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
  if (!in.done() || !as_read_from_a_file(c)) return std::nullopt;
  return c;
}

ReminderRowRef row_from_packed(std::string_view packed) {
  auto columns = unpacked_columns(packed);
  return columns ? row_from_columns(std::move(*columns)) : nullptr;
}

std::string zone_text(const TimeZone& zone) {
  // Appended rather than added: GCC 12 at -O3 warns falsely on "=" + a temporary.
  std::string text = zone.fixed_offset_seconds() ? "=" : "@";
  text += zone.fixed_offset_seconds() ? std::to_string(*zone.fixed_offset_seconds()) : zone.name();
  return text;
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
  // Each field within what a file's date can hold (years as libical reads them).
  struct Field {
    std::int64_t* value;
    std::int64_t least, most;
  };
  for (const Field& field : {Field{&c.year, 0, 9999}, Field{&c.month, 1, 12}, Field{&c.day, 1, 31},
                             Field{&c.hour, 0, 23}, Field{&c.minute, 0, 59}, Field{&c.second, 0, 60},
                             Field{&c.nanosecond, 0, 999'999'999}}) {
    auto token = take_token(rest);
    if (!token) return std::nullopt;
    if (*token == "-") continue;
    auto value = integer_of(*token);
    if (!value || *value < field.least || *value > field.most) return std::nullopt;
    *field.value = *value;
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
  // What would not be read back is not kept: the file is read each time instead.
  if (!as_read_from_a_file(columns)) return std::nullopt;
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
