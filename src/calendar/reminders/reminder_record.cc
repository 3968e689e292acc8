#include "calendar/reminders/reminder_record.h"

#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/due_text.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {
namespace {

// A text put where a text may already lie, reusing its room.
void set_text(Json& slot, const std::string& text) {
  if (slot.is_string()) {
    slot.get_ref<std::string&>().assign(text);
  } else {
    slot = text;
  }
}

void set_text_or_null(Json& slot, const std::optional<std::string>& text) {
  if (text) {
    set_text(slot, *text);
  } else {
    slot = nullptr;
  }
}

// The first alarm with an absolute date; alarms relative to the due date are skipped.
std::optional<std::string> remind_at(const platform::Reminder& reminder) {
  for (const platform::Alarm& alarm : reminder.alarms()) {
    if (alarm.absolute_date) return format_remind_at(*alarm.absolute_date);
  }
  return std::nullopt;
}

void set_rule_records(Json& slot, const platform::Reminder& reminder) {
  if (!slot.is_array()) slot = Json::array();
  slot.get_ref<Json::array_t&>().clear();
  if (const auto& stored = reminder.recurrence_rules()) {
    for (const platform::RecurrenceRule& rule : *stored) slot.push_back(rule_to_record(rule));
  }
}

}  // namespace

void refill_record(platform::Platform& platform, const platform::Reminder& reminder, Json& record) {
  if (!record.is_object()) record = Json::object();
  set_text(record["id"], reminder.calendar_item_identifier());
  set_text_or_null(record["externalId"], reminder.calendar_item_external_identifier());
  if (reminder.calendar()) {
    set_text(record["listId"], reminder.calendar()->identifier);
  } else {
    record["listId"] = nullptr;
  }
  set_text(record["title"], reminder.title());
  set_text(record["notes"], reminder.notes() ? *reminder.notes() : std::string());
  const auto& due = reminder.due_date_components();
  set_text_or_null(record["due"], due ? std::optional<std::string>(format_due_text(platform, *due)) : std::nullopt);
  record["priority"] = reminder.priority();
  record["completed"] = reminder.is_completed();
  set_text_or_null(record["remindAt"], remind_at(reminder));
  set_rule_records(record["recurrenceRules"], reminder);
  set_text_or_null(record["clientId"], client_id_from_url(platform, reminder.url()));
}

Json reminder_to_record(platform::Platform& platform, const platform::Reminder& reminder) {
  Json record = Json::object();
  refill_record(platform, reminder, record);
  return record;
}

}  // namespace bridge::reminders
