#include "platform/local/index/packed_reminder.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/local/ical/content_lines.h"
#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/index/byte_form.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/text/foundation_url_syntax.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

// Beyond the instants of years 0 to 9999 in any zone: an alarm further out, or at NaN, is damage.
constexpr double kFarthestAlarmSeconds = 1e12;

std::optional<std::string> utf8_text(ByteReader& in) {
  std::optional<std::string> text = in.optional_text();
  if (text && !text::is_valid_utf8(*text)) in.fail();
  return text;
}

// A zone is a flag for a fixed offset, then the offset or the name.
void write_zone(ByteWriter& out, const std::optional<TimeZone>& zone) {
  out.flag(zone.has_value());
  if (!zone) return;
  std::optional<int> offset = zone->fixed_offset_seconds();
  out.flag(offset.has_value());
  if (offset) out.integer(*offset);
  if (!offset) out.text(zone->name());
}

std::optional<TimeZone> read_zone(ByteReader& in) {
  if (!in.flag()) return std::nullopt;
  if (!in.flag()) {
    std::string name = in.text();
    if (!text::is_valid_utf8(name)) in.fail();
    return TimeZone::named(std::move(name));
  }
  std::int64_t offset = in.integer();
  // An offset whose negation is an int too: the zone's name is worked out from it.
  if (std::abs(offset) <= std::numeric_limits<int>::max()) return TimeZone::for_seconds_from_gmt(static_cast<int>(offset));
  in.fail();
  return std::nullopt;
}

void write_components(ByteWriter& out, const std::optional<DateComponents>& c) {
  out.flag(c.has_value());
  if (!c) return;
  for (std::int64_t field : {c->year, c->month, c->day, c->hour, c->minute, c->second, c->nanosecond}) {
    out.integer(field);
  }
  out.optional_text(c->calendar);
  write_zone(out, c->time_zone);
}

std::optional<DateComponents> read_components(ByteReader& in) {
  if (!in.flag()) return std::nullopt;
  DateComponents c;
  // Each field undefined or within what a file's date can hold (years as libical reads them).
  struct Field {
    std::int64_t* value;
    std::int64_t least, most;
  };
  for (const Field& field : {Field{&c.year, 0, 9999}, Field{&c.month, 1, 12}, Field{&c.day, 1, 31},
                             Field{&c.hour, 0, 23}, Field{&c.minute, 0, 59}, Field{&c.second, 0, 60},
                             Field{&c.nanosecond, 0, 999'999'999}}) {
    *field.value = in.integer();
    if (*field.value != kUndefinedComponent && (*field.value < field.least || *field.value > field.most)) in.fail();
  }
  c.calendar = utf8_text(in);
  c.time_zone = read_zone(in);
  return c;
}

// One VALARM as a file's lines hold it, ending with its line break: a save puts it
// back into the file as it is.
bool is_alarm_block(std::string_view block) {
  if (block.empty() || (block.back() != '\n' && block.back() != '\r')) return false;
  std::vector<ContentLine> lines = split_content_lines(block);
  std::vector<ComponentSpan> alarms = child_components(lines, std::nullopt, "VALARM");
  return alarms.size() == 1 && alarms[0].begin_line == 0 && alarms[0].end_line + 1 == lines.size();
}

// An alarm is its VALARM block as stored (none for one made here), then its absolute
// date (none for one relative to the due date).
Alarm read_alarm(ByteReader& in) {
  Alarm alarm;
  std::optional<std::string> block = in.optional_text();
  if (in.flag()) alarm.absolute_date = Date{in.real()};
  if (alarm.absolute_date && !(std::fabs(alarm.absolute_date->seconds_since_1970) <= kFarthestAlarmSeconds)) in.fail();
  if (block) {
    if (!is_alarm_block(*block)) in.fail();
    auto origin = std::make_shared<StoredAlarmOrigin>();
    origin->block = std::move(*block);
    origin->absolute_date = alarm.absolute_date;
    alarm.origin = std::move(origin);
  }
  return alarm;
}

}  // namespace

std::optional<std::string> packed_reminder(const ReminderRow& row) {
  const ReminderFields& f = row.fields;
  std::size_t rule_count = f.recurrence_rules ? f.recurrence_rules->size() : 0;
  if (row.follows_local_zone || rule_count != row.rule_values.size()) return std::nullopt;
  ByteWriter out;
  out.optional_text(f.calendar_item_external_identifier);
  out.text(f.title);
  out.optional_text(f.notes);
  out.optional_text(f.url ? std::optional(f.url->absolute_string) : std::nullopt);
  write_zone(out, f.time_zone);
  out.flag(f.completed);
  out.integer(f.priority);
  write_components(out, f.start_date_components);
  write_components(out, f.due_date_components);
  out.count(f.alarms.size());
  for (const Alarm& alarm : f.alarms) {
    auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
    if (alarm.origin && (!stored || stored->absolute_date != alarm.absolute_date)) return std::nullopt;
    out.optional_text(stored ? std::optional(stored->block) : std::nullopt);
    out.flag(alarm.absolute_date.has_value());
    if (alarm.absolute_date) out.real(alarm.absolute_date->seconds_since_1970);
  }
  out.count(row.rule_values.size());
  for (const std::string& rule : row.rule_values) out.text(rule);
  std::string packed = out.take();
  // What would not read back is not kept: the file is read each time instead.
  if (!row_from_packed(packed)) return std::nullopt;
  return packed;
}

ReminderRowRef row_from_packed(std::string_view packed) {
  ByteReader in(packed);
  auto row = std::make_shared<ReminderRow>();
  ReminderFields& f = row->fields;
  f.calendar_item_external_identifier = utf8_text(in);
  f.title = in.text();
  if (!text::is_valid_utf8(f.title)) in.fail();
  f.notes = utf8_text(in);
  if (std::optional<std::string> url = in.optional_text()) {
    if (!foundation_url_accepts(*url)) in.fail();
    f.url = Url{std::move(*url)};
  }
  f.time_zone = read_zone(in);
  f.completed = in.flag();
  f.priority = in.integer();
  // PRIORITY's values in RFC 5545; a file's other values are read from the file each time.
  if (f.priority < 0 || f.priority > 9) in.fail();
  f.start_date_components = read_components(in);
  f.due_date_components = read_components(in);
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) f.alarms.push_back(read_alarm(in));
  // The rules are rebuilt from their RRULE values, each of one line.
  std::vector<RecurrenceRule> rules;
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    std::string value = in.text();
    std::optional<RecurrenceRule> rule = rule_from_rrule_value(value);
    if (!rule || value.find_first_of("\r\n") != std::string::npos) return nullptr;
    rules.push_back(std::move(*rule));
    row->rule_values.push_back(std::move(value));
  }
  if (!rules.empty()) f.recurrence_rules = std::move(rules);
  if (!in.done()) return nullptr;
  return row;
}

}  // namespace platform::local
