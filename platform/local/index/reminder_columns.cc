#include "platform/local/index/reminder_columns.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/local/ical/recurrence_ical.h"
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

// Packed, least significant byte first: a text as a marker byte ('-' none, '+'
// some), then its length in 4 bytes (a row holds less than SQLite's 1 GB) and its
// bytes; an integer in 8 bytes; a date as a marker byte, then its bits in 8 bytes;
// a list as its length in 4 bytes, then its elements.
constexpr char kNone = '-', kSome = '+';
constexpr int kLengthBytes = 4, kIntegerBytes = 8;

class ColumnPacker {
 public:
  void text(const std::string& value) {
    bytes_ += kSome;
    length(value.size());
    bytes_ += value;
  }
  void text(const std::optional<std::string>& value) {
    if (value) {
      text(*value);
    } else {
      bytes_ += kNone;
    }
  }
  void integer(std::int64_t value) { add(static_cast<std::uint64_t>(value), kIntegerBytes); }
  void date(const std::optional<double>& value) {
    bytes_ += value ? kSome : kNone;
    if (value) add(std::bit_cast<std::uint64_t>(*value), kIntegerBytes);
  }
  void length(std::size_t value) { add(value, kLengthBytes); }
  std::string take() { return std::move(bytes_); }

 private:
  void add(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes_ += static_cast<char>((value >> (8 * i)) & 0xff);
  }
  std::string bytes_;
};

// Reads the packed columns back in order, taking each off the front.
class ColumnUnpacker {
 public:
  explicit ColumnUnpacker(std::string_view rest) : rest_(rest) {}
  bool integer(std::int64_t& value) {
    std::uint64_t unsigned_value = 0;
    if (!take(unsigned_value, kIntegerBytes)) return false;
    value = static_cast<std::int64_t>(unsigned_value);
    return true;
  }
  bool text(std::optional<std::string>& value) {
    bool some = false;
    if (!marker(some)) return false;
    if (!some) {
      value.reset();
      return true;
    }
    std::size_t size = 0;
    if (!length(size) || size > rest_.size()) return false;
    value.emplace(rest_.substr(0, size));
    rest_.remove_prefix(size);
    return true;
  }
  bool date(std::optional<double>& value) {
    bool some = false;
    std::uint64_t bits = 0;
    if (!marker(some) || (some && !take(bits, kIntegerBytes))) return false;
    if (some) value = std::bit_cast<double>(bits);
    return true;
  }
  // A list's length, no more than its elements could fill with a byte each.
  bool length(std::size_t& value) {
    std::uint64_t read = 0;
    if (!take(read, kLengthBytes) || read > rest_.size()) return false;
    value = static_cast<std::size_t>(read);
    return true;
  }
  bool done() const { return rest_.empty(); }

 private:
  bool marker(bool& some) {
    if (rest_.empty() || (rest_[0] != kNone && rest_[0] != kSome)) return false;
    some = rest_[0] == kSome;
    rest_.remove_prefix(1);
    return true;
  }
  bool take(std::uint64_t& value, int count) {
    if (rest_.size() < static_cast<std::size_t>(count)) return false;
    value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(rest_[i]);
    rest_.remove_prefix(static_cast<std::size_t>(count));
    return true;
  }

  std::string_view rest_;
};

}  // namespace

std::string packed_columns(const ReminderColumns& c) {
  ColumnPacker packer;
  packer.text(c.uid);
  packer.text(c.title);
  packer.text(c.notes);
  packer.text(c.url);
  packer.text(c.zone);
  packer.integer(c.completed ? 1 : 0);
  packer.integer(c.priority);
  packer.text(c.start);
  packer.text(c.due);
  packer.length(c.alarms.size());
  for (const ReminderColumns::Alarm& alarm : c.alarms) {
    packer.text(alarm.block);
    packer.date(alarm.seconds_since_1970);
  }
  packer.length(c.rules.size());
  for (const std::string& rule : c.rules) packer.text(rule);
  return packer.take();
}

std::optional<ReminderColumns> unpacked_columns(std::string_view packed) {
  ColumnUnpacker read(packed);
  ReminderColumns c;
  std::optional<std::string> title;
  std::int64_t completed = 0;
  std::size_t alarms = 0, rules = 0;
  bool ok = read.text(c.uid) && read.text(title) && title && read.text(c.notes) && read.text(c.url) &&
            read.text(c.zone) && read.integer(completed) && read.integer(c.priority) && read.text(c.start) &&
            read.text(c.due) && read.length(alarms);
  for (std::size_t i = 0; ok && i < alarms; ++i) {
    ReminderColumns::Alarm& alarm = c.alarms.emplace_back();
    ok = read.text(alarm.block) && read.date(alarm.seconds_since_1970);
  }
  ok = ok && read.length(rules);
  for (std::size_t i = 0; ok && i < rules; ++i) {
    std::optional<std::string> rule;
    ok = read.text(rule) && rule;
    if (ok) c.rules.push_back(std::move(*rule));
  }
  if (!ok || !read.done()) return std::nullopt;
  c.title = std::move(*title);
  c.completed = completed != 0;
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
