#include "calendar/reminders/reminder_record.h"

#include <array>
#include <string_view>

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

// The record's keys in the order the object keeps them (sorted).
enum RecordKey {
  kClientId, kCompleted, kDue, kExternalId, kId, kListId, kNotes, kPriority, kRecurrenceRules, kRemindAt, kTitle,
  kKeyCount
};
constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "clientId", "completed", "due",  "externalId", "id",   "listId",
    "notes",    "priority",  "recurrenceRules",    "remindAt", "title"};
using RecordSlots = std::array<Json*, kKeyCount>;

// Where each key's value lies: a record filled before is walked once in its keys'
// order rather than searched for each key; any other value becomes a fresh record.
RecordSlots record_slots(Json& record) {
  RecordSlots slot{};
  if (record.is_object() && record.size() == kKeyCount) {
    std::size_t i = 0;
    for (auto& [key, value] : record.get_ref<Json::object_t&>()) {
      if (key != kKeyNames[i]) break;
      slot[i++] = &value;
    }
    if (i == kKeyCount) return slot;
  }
  record = Json::object();
  for (std::size_t i = 0; i < kKeyCount; ++i) slot[i] = &record[std::string(kKeyNames[i])];
  return slot;
}

}  // namespace

void refill_record(platform::Platform& platform, const platform::Reminder& reminder, Json& record) {
  RecordSlots slot = record_slots(record);
  set_text(*slot[kId], reminder.calendar_item_identifier());
  set_text_or_null(*slot[kExternalId], reminder.calendar_item_external_identifier());
  if (reminder.calendar()) {
    set_text(*slot[kListId], reminder.calendar()->identifier);
  } else {
    *slot[kListId] = nullptr;
  }
  set_text(*slot[kTitle], reminder.title());
  set_text(*slot[kNotes], reminder.notes() ? *reminder.notes() : std::string());
  const auto& due = reminder.due_date_components();
  set_text_or_null(*slot[kDue], due ? std::optional<std::string>(format_due_text(platform, *due)) : std::nullopt);
  *slot[kPriority] = reminder.priority();
  *slot[kCompleted] = reminder.is_completed();
  set_text_or_null(*slot[kRemindAt], remind_at(reminder));
  set_rule_records(*slot[kRecurrenceRules], reminder);
  set_text_or_null(*slot[kClientId], client_id_from_url(reminder.url()));
}

Json reminder_to_record(platform::Platform& platform, const platform::Reminder& reminder) {
  Json record = Json::object();
  refill_record(platform, reminder, record);
  return record;
}

}  // namespace bridge::reminders
