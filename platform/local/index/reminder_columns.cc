#include "platform/local/index/reminder_columns.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/reminders/reminder_origin.h"

namespace platform::local {

namespace {

using Json = nlohmann::json;

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

std::optional<Json> alarms_json(const std::vector<Alarm>& alarms) {
  Json list = Json::array();
  for (const Alarm& alarm : alarms) {
    Json block = nullptr;
    if (alarm.origin) {
      auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
      if (!stored || stored->absolute_date != alarm.absolute_date) return std::nullopt;
      block = stored->block;
    }
    Json date = nullptr;
    if (alarm.absolute_date) {
      if (!std::isfinite(alarm.absolute_date->seconds_since_1970)) return std::nullopt;
      date = alarm.absolute_date->seconds_since_1970;
    }
    list.push_back(Json::array({std::move(block), std::move(date)}));
  }
  return list;
}

std::optional<std::vector<Alarm>> alarms_from(const std::string& text) {
  Json list = Json::parse(text, nullptr, false);
  if (!list.is_array()) return std::nullopt;
  std::vector<Alarm> alarms;
  for (const Json& entry : list) {
    if (!entry.is_array() || entry.size() != 2) return std::nullopt;
    const Json& block = entry[0];
    const Json& date = entry[1];
    Alarm alarm;
    if (date.is_number()) {
      alarm.absolute_date = Date{date.get<double>()};
    } else if (!date.is_null()) {
      return std::nullopt;
    }
    if (block.is_string()) {
      auto origin = std::make_shared<StoredAlarmOrigin>();
      origin->block = block.get<std::string>();
      origin->absolute_date = alarm.absolute_date;
      alarm.origin = std::move(origin);
    } else if (!block.is_null()) {
      return std::nullopt;
    }
    alarms.push_back(std::move(alarm));
  }
  return alarms;
}

bool rules_from(const std::string& text, ReminderRow& row) {
  Json list = Json::parse(text, nullptr, false);
  if (!list.is_array() || list.empty()) return false;
  std::vector<RecurrenceRule> rules;
  for (const Json& value : list) {
    if (!value.is_string()) return false;
    auto rule = rule_from_rrule_value(value.get_ref<const std::string&>());
    if (!rule) return false;
    rules.push_back(std::move(*rule));
    row.rule_values.push_back(value.get<std::string>());
  }
  row.fields.recurrence_rules = std::move(rules);
  return true;
}

// Packed: each text column as a marker byte ('-' null, '+' text), then for text
// its length in 4 bytes and its bytes (a column holds less than SQLite's 1 GB);
// each integer column in 8 bytes. Least significant byte first.
constexpr char kNull = '-', kText = '+';
constexpr int kLengthBytes = 4, kIntegerBytes = 8;

void append_unsigned(std::string& bytes, std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
}

// Reads the packed columns back in order, taking each off the front.
class ColumnUnpacker {
 public:
  explicit ColumnUnpacker(std::string_view rest) : rest_(rest) {}
  bool integer(std::int64_t& value) {
    std::uint64_t unsigned_value = 0;
    if (!take_unsigned(unsigned_value, kIntegerBytes)) return false;
    value = static_cast<std::int64_t>(unsigned_value);
    return true;
  }
  bool text(std::optional<std::string>& value) {
    if (rest_.empty()) return false;
    char marker = rest_[0];
    rest_.remove_prefix(1);
    if (marker == kNull) {
      value.reset();
      return true;
    }
    std::uint64_t size = 0;
    if (marker != kText || !take_unsigned(size, kLengthBytes) || size > rest_.size()) return false;
    value.emplace(rest_.substr(0, static_cast<std::size_t>(size)));
    rest_.remove_prefix(static_cast<std::size_t>(size));
    return true;
  }
  bool done() const { return rest_.empty(); }

 private:
  bool take_unsigned(std::uint64_t& value, int count) {
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
  std::string bytes;
  auto present = [&](const std::string& value) {
    bytes += kText;
    append_unsigned(bytes, value.size(), kLengthBytes);
    bytes += value;
  };
  auto text = [&](const std::optional<std::string>& value) {
    if (value) {
      present(*value);
    } else {
      bytes += kNull;
    }
  };
  auto integer = [&](std::int64_t value) { append_unsigned(bytes, static_cast<std::uint64_t>(value), kIntegerBytes); };
  text(c.uid);
  present(c.title);
  text(c.notes);
  text(c.url);
  text(c.zone);
  integer(c.completed ? 1 : 0);
  integer(c.priority);
  text(c.start);
  text(c.due);
  text(c.alarms);
  text(c.rules);
  return bytes;
}

std::optional<ReminderColumns> unpacked_columns(std::string_view packed) {
  ColumnUnpacker read(packed);
  ReminderColumns c;
  std::optional<std::string> title;
  std::int64_t completed = 0;
  bool ok = read.text(c.uid) && read.text(title) && title && read.text(c.notes) && read.text(c.url) &&
            read.text(c.zone) && read.integer(completed) && read.integer(c.priority) && read.text(c.start) &&
            read.text(c.due) && read.text(c.alarms) && read.text(c.rules) && read.done();
  if (!ok) return std::nullopt;
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
  try {
    if (!f.alarms.empty()) {
      auto alarms = alarms_json(f.alarms);
      if (!alarms) return std::nullopt;
      columns.alarms = alarms->dump();
    }
    if (rule_count > 0) columns.rules = Json(row.rule_values).dump();
  } catch (const Json::exception&) {
    // A block or rule that is no valid UTF-8 has no JSON form: the file is read instead.
    return std::nullopt;
  }
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
  if (columns.alarms) {
    auto alarms = alarms_from(*columns.alarms);
    if (!alarms) return nullptr;
    f.alarms = std::move(*alarms);
  }
  if (columns.rules && !rules_from(*columns.rules, *row)) return nullptr;
  return row;
}

}  // namespace platform::local
