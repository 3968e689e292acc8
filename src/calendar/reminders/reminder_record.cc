#include "calendar/reminders/reminder_record.h"

#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/due_text.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {
namespace {

template <class T>
Json or_null(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// The first alarm with an absolute date; alarms relative to the due date are skipped.
Json remind_at(const platform::Reminder& reminder) {
  for (const platform::Alarm& alarm : reminder.alarms()) {
    if (alarm.absolute_date) return or_null(format_remind_at(*alarm.absolute_date));
  }
  return nullptr;
}

Json rule_records(const platform::Reminder& reminder) {
  Json rules = Json::array();
  if (const auto& stored = reminder.recurrence_rules()) {
    for (const platform::RecurrenceRule& rule : *stored) rules.push_back(rule_to_record(rule));
  }
  return rules;
}

}  // namespace

Json reminder_to_record(platform::Platform& platform, const platform::Reminder& reminder) {
  Json record = Json::object();
  record["id"] = reminder.calendar_item_identifier();
  record["externalId"] = or_null(reminder.calendar_item_external_identifier());
  record["listId"] = reminder.calendar() ? Json(reminder.calendar()->identifier) : Json(nullptr);
  record["title"] = reminder.title();
  record["notes"] = reminder.notes().value_or("");
  const auto& due = reminder.due_date_components();
  record["due"] = due ? Json(format_due_text(platform, *due)) : Json(nullptr);
  record["priority"] = reminder.priority();
  record["completed"] = reminder.is_completed();
  record["remindAt"] = remind_at(reminder);
  record["recurrenceRules"] = rule_records(reminder);
  record["clientId"] = or_null(client_id_from_url(platform, reminder.url()));
  return record;
}

}  // namespace bridge::reminders
