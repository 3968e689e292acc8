#include "platform/local/index/packed_reminder.h"

#include <cmath>
#include <limits>
#include <tuple>

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
// An offset whose negation is an int too: the zone's name is worked out from it.
constexpr std::int64_t kLargestOffset = std::numeric_limits<int>::max();

template <class Form, class Text>
void utf8_text(Form& form, Text& text) {
  form.text(text);
  form.check(text::is_valid_utf8(text));
}

// A zone is a flag for a fixed offset, then the offset or the name.
template <class Form, class Zone>
void zone(Form& form, Zone& zone) {
  bool present = zone.has_value();
  form.flag(present);
  if (!present) return;
  std::optional<int> offset = zone ? zone->fixed_offset_seconds() : std::nullopt;
  std::string name = zone ? zone->name() : "";
  form.optional(offset, [&](auto& seconds) { form.number(seconds, -kLargestOffset, kLargestOffset); });
  if (!offset) utf8_text(form, name);
  if constexpr (Form::reads) zone = offset ? TimeZone::for_seconds_from_gmt(*offset) : TimeZone::named(std::move(name));
}

// Each field within what a file's date can hold (years as libical reads them), or undefined.
template <class Form, class Date>
void date_fields(Form& form, Date& c) {
  using Field = std::tuple<decltype(&c.year), std::int64_t, std::int64_t>;
  for (auto [field, least, most] : {Field{&c.year, 0, 9999}, Field{&c.month, 1, 12}, Field{&c.day, 1, 31},
                                    Field{&c.hour, 0, 23}, Field{&c.minute, 0, 59}, Field{&c.second, 0, 60},
                                    Field{&c.nanosecond, 0, 999'999'999}}) {
    form.number(*field, least, kUndefinedComponent);
    form.check(*field <= most || *field == kUndefinedComponent);
  }
  form.optional(c.calendar, [&](auto& name) { utf8_text(form, name); });
  zone(form, c.time_zone);
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
// date (none for one relative to the due date). Only a stored block of the alarm's
// own date goes back into a file as it is.
template <class Form, class Value>
void alarm(Form& form, Value& alarm) {
  auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
  form.check(!alarm.origin || (stored && stored->absolute_date == alarm.absolute_date));
  std::optional<std::string> block;
  if (stored) block = stored->block;
  form.optional(block, [&](auto& text) {
    form.text(text);
    form.check(is_alarm_block(text));
  });
  form.optional(alarm.absolute_date, [&](auto& when) {
    form.real(when.seconds_since_1970);
    form.check(std::fabs(when.seconds_since_1970) <= kFarthestAlarmSeconds);
  });
  if constexpr (Form::reads) {
    if (!block) return;
    auto read = std::make_shared<StoredAlarmOrigin>();
    read->block = std::move(*block);
    read->absolute_date = alarm.absolute_date;
    alarm.origin = std::move(read);
  }
}

// The rules come from their RRULE values, each of one line.
template <class Form, class Row>
void row_fields(Form& form, Row& row, std::vector<RecurrenceRule>& rules) {
  auto& f = row.fields;
  auto utf8 = [&](auto& text) { utf8_text(form, text); };
  auto date = [&](auto& c) { date_fields(form, c); };
  form.optional(f.calendar_item_external_identifier, utf8);
  utf8(f.title);
  form.optional(f.notes, utf8);
  form.optional(f.url, [&](auto& url) {
    form.text(url.absolute_string);
    form.check(foundation_url_accepts(url.absolute_string));
  });
  zone(form, f.time_zone);
  form.flag(f.completed);
  // PRIORITY's values in RFC 5545; a file's other values are read from the file each time.
  form.number(f.priority, 0, 9);
  form.optional(f.start_date_components, date);
  form.optional(f.due_date_components, date);
  form.list(f.alarms, [&](auto& a) { alarm(form, a); });
  form.list(row.rule_values, [&](auto& value) {
    form.text(value);
    std::optional<RecurrenceRule> rule = rule_from_rrule_value(value);
    form.check(rule && value.find_first_of("\r\n") == std::string::npos);
    if (rule) rules.push_back(std::move(*rule));
  });
}

}  // namespace

std::optional<std::string> packed_reminder(const ReminderRow& row) {
  std::size_t rule_count = row.fields.recurrence_rules ? row.fields.recurrence_rules->size() : 0;
  if (row.follows_local_zone || rule_count != row.rule_values.size()) return std::nullopt;
  ByteWriter form;
  std::vector<RecurrenceRule> rules;
  row_fields(form, row, rules);
  // What would not read back is not kept: the file is read each time instead.
  if (!form.ok()) return std::nullopt;
  return form.take();
}

ReminderRowRef row_from_packed(std::string_view packed) {
  ByteReader form(packed);
  auto row = std::make_shared<ReminderRow>();
  std::vector<RecurrenceRule> rules;
  row_fields(form, *row, rules);
  if (!form.done()) return nullptr;
  if (!rules.empty()) row->fields.recurrence_rules = std::move(rules);
  return row;
}

}  // namespace platform::local
