// The local store's reading and writing of one item text, without files. An event's
// text is read as a lookup reads it. A reminder's text is parsed as a reminder, its
// reminder goes through the index's column form and back, and a change of title and
// state is written into the text and read again. What the column form gives back
// must be the reminder read from the text; a written text that reads back (the
// store writes no other) must hold what was written, and due and start dates
// written back as they were read must name the same times again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/local/components_ical.h"
#include "platform/local/item_text_edit.h"
#include "platform/local/parsed_item.h"
#include "platform/local/reminder_columns.h"
#include "platform/local/reminder_origin.h"
#include "platform/local/reminder_patch.h"
#include "platform/local/reminder_reader.h"
#include "platform/local/stored_event.h"

namespace {

using platform::Reminder;
using platform::ReminderFields;

constexpr double kYear2025 = 1735689600;  // 2025-01-01T00:00:00Z

void check(bool holds) {
  if (!holds) std::abort();
}

std::string block_of(const platform::Alarm& alarm) {
  auto stored = std::dynamic_pointer_cast<const platform::local::StoredAlarmOrigin>(alarm.origin);
  return stored ? stored->block : std::string("\x01none");
}

void check_same(const ReminderFields& a, const ReminderFields& b) {
  check(a.calendar_item_external_identifier == b.calendar_item_external_identifier);
  check(a.title == b.title && a.notes == b.notes && a.url == b.url && a.time_zone == b.time_zone);
  check(a.completed == b.completed && a.priority == b.priority);
  check(a.start_date_components == b.start_date_components && a.due_date_components == b.due_date_components);
  check(a.alarms.size() == b.alarms.size());
  for (std::size_t i = 0; i < a.alarms.size(); ++i) {
    check(a.alarms[i].absolute_date == b.alarms[i].absolute_date && block_of(a.alarms[i]) == block_of(b.alarms[i]));
  }
  check(a.recurrence_rules.has_value() == b.recurrence_rules.has_value());
  if (a.recurrence_rules) check(a.recurrence_rules->size() == b.recurrence_rules->size());
}

void check_same_time(const std::optional<platform::DateComponents>& a, const std::optional<platform::DateComponents>& b) {
  check(a.has_value() == b.has_value());
  if (a) check(platform::local::names_same_time(*a, *b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto item = platform::local::parse_item_text(text);
  if (item && item->kind == ICAL_VEVENT_COMPONENT) {
    // An event's times resolve their TZIDs as a reminder's do.
    auto event = platform::local::stored_event(*item, nullptr);
    check(!event || event->start_date <= event->end_date);
    return 0;
  }
  if (!item || item->kind != ICAL_VTODO_COMPONENT) return 0;
  platform::local::ReminderRow row = platform::local::reminder_row_of(*item);

  if (auto columns = platform::local::columns_of(row)) {
    platform::local::ReminderRowRef back = platform::local::row_from_columns(*columns);
    check(back != nullptr);
    check_same(row.fields, back->fields);
    check(back->rule_values == row.rule_values);
  }

  auto edit = platform::local::ItemTextEdit::open(text, "VTODO", platform::local::kProductId);
  if (!edit) return 0;
  ReminderFields changed = row.fields;
  changed.title = "fuzz \xe6\x94\xb9";
  changed.completed = !changed.completed;
  auto patched = platform::local::patch_reminder(std::move(*edit), changed, Reminder::kTitle | Reminder::kCompleted,
                                                 platform::Date{kYear2025});
  if (!patched.text) return 0;
  auto again = platform::local::parse_item_text(*patched.text);
  // A text that does not read back is refused by the store before it is written.
  if (!again || again->kind != ICAL_VTODO_COMPONENT) return 0;
  platform::local::ReminderRow reread = platform::local::reminder_row_of(*again);
  check(reread.fields.title == changed.title && reread.fields.completed == changed.completed);

  // The due and start dates written back as they were read name the same times again,
  // whichever way their TZIDs resolved (tz database, Windows name, VTIMEZONE, none).
  auto times = platform::local::ItemTextEdit::open(text, "VTODO", platform::local::kProductId);
  if (!times) return 0;
  auto rewritten = platform::local::patch_reminder(std::move(*times), row.fields,
                                                   Reminder::kDueDateComponents | Reminder::kStartDateComponents,
                                                   platform::Date{kYear2025});
  if (!rewritten.text) return 0;
  auto read_back = platform::local::parse_item_text(*rewritten.text);
  if (!read_back || read_back->kind != ICAL_VTODO_COMPONENT) return 0;
  platform::local::ReminderRow after = platform::local::reminder_row_of(*read_back);
  check_same_time(row.fields.due_date_components, after.fields.due_date_components);
  check_same_time(row.fields.start_date_components, after.fields.start_date_components);
  return 0;
}
