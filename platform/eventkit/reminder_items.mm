#include "platform/eventkit/reminder_items.h"

#include <memory>
#include <vector>

#include "platform/eventkit/date_components.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_array.h"
#include "platform/eventkit/ns_text.h"
#include "platform/eventkit/ns_url.h"
#include "platform/eventkit/recurrence_rules.h"

namespace platform::eventkit {
namespace {

struct StoredReminderOrigin : ItemOrigin {
  EKReminder* reminder;
};

struct StoredAlarmOrigin : ItemOrigin {
  EKAlarm* alarm;
  std::optional<Date> absolute_date;  // as read
};

std::vector<Alarm> alarms_of(NSArray<EKAlarm*>* _Nullable alarms) {
  std::vector<Alarm> result;
  if (alarms == nil) return result;
  result.reserve(alarms.count);
  for (EKAlarm* alarm in alarms) {
    auto origin = std::make_shared<StoredAlarmOrigin>();
    origin->alarm = alarm;
    if (NSDate* date = alarm.absoluteDate) origin->absolute_date = date_of(date);
    result.push_back(Alarm{origin->absolute_date, origin});
  }
  return result;
}

// A stored alarm handed back unchanged is copied whole (relative alarms included);
// any other alarm is made from its date. An alarm with neither is left out.
NSArray<EKAlarm*>* _Nullable ek_alarms(const std::vector<Alarm>& alarms) {
  if (alarms.empty()) return nil;
  std::vector<id> elements;
  elements.reserve(alarms.size());
  for (const Alarm& alarm : alarms) {
    auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
    if (stored && stored->absolute_date == alarm.absolute_date) {
      elements.push_back(required([stored->alarm copy], "EKAlarm copy"));
    } else if (alarm.absolute_date) {
      elements.push_back(required([EKAlarm alarmWithAbsoluteDate:ns_date(*alarm.absolute_date)],
                                  "alarmWithAbsoluteDate:"));
    }
  }
  return elements.empty() ? nil : ns_array(elements);
}

NSArray<EKRecurrenceRule*>* _Nullable ek_rules(const std::optional<std::vector<RecurrenceRule>>& rules) {
  if (!rules || rules->empty()) return nil;
  std::vector<id> elements;
  elements.reserve(rules->size());
  for (const RecurrenceRule& rule : *rules) elements.push_back(ek_rule(rule));
  return ns_array(elements);
}

NSDateComponents* _Nullable ek_components(const std::optional<DateComponents>& components, TimeZones& zones) {
  return components ? ns_components(*components, zones) : nil;
}

}  // namespace

Reminder reminder_of(EKReminder* reminder, CalendarTable& calendars, TimeZones& zones, bool is_new) {
  ReminderFields fields;
  fields.calendar_item_identifier = text_of(required(reminder.calendarItemIdentifier, "calendarItemIdentifier"));
  fields.calendar_item_external_identifier = optional_text_of(reminder.calendarItemExternalIdentifier);
  if (EKCalendar* calendar = reminder.calendar) fields.calendar = calendars.ref_for(calendar);
  // A new reminder has no title yet; none reads as the empty title.
  fields.title = optional_text_of(reminder.title).value_or(std::string());
  fields.notes = optional_text_of(reminder.notes);
  if (NSURL* url = reminder.URL) {
    if (NSString* text = url.absoluteString) fields.url = Url{text_of(text)};
  }
  if (NSTimeZone* zone = reminder.timeZone) fields.time_zone = zones.remember(zone);
  fields.completed = reminder.completed;
  fields.priority = static_cast<std::int64_t>(reminder.priority);
  if (NSDateComponents* start = reminder.startDateComponents) fields.start_date_components = components_of(start, zones);
  if (NSDateComponents* due = reminder.dueDateComponents) fields.due_date_components = components_of(due, zones);
  fields.alarms = alarms_of(reminder.alarms);
  if (NSArray<EKRecurrenceRule*>* rules = reminder.recurrenceRules) {
    fields.recurrence_rules.emplace();
    fields.recurrence_rules->reserve(rules.count);
    for (EKRecurrenceRule* rule in rules) fields.recurrence_rules->push_back(rule_of(rule));
  }

  auto origin = std::make_shared<StoredReminderOrigin>();
  origin->reminder = reminder;
  return Reminder(std::move(fields), std::move(origin), is_new);
}

EKReminder* _Nullable stored_reminder(const Reminder& reminder) {
  auto origin = std::dynamic_pointer_cast<const StoredReminderOrigin>(reminder.origin());
  return origin ? origin->reminder : nil;
}

void apply_changes(const Reminder& reminder, EKReminder* target, const CalendarTable& calendars, TimeZones& zones) {
  const std::uint32_t changed = reminder.changed_fields();
  const ReminderFields& fields = reminder.fields();
  if (changed & Reminder::kCalendar) target.calendar = calendars.object_for(fields.calendar);
  if (changed & Reminder::kTitle) target.title = ns_string(fields.title);
  if (changed & Reminder::kNotes) target.notes = ns_string_or_nil(fields.notes);
  if (changed & Reminder::kUrl) {
    target.URL = fields.url ? ns_url(fields.url->absolute_string) : nil;
  }
  if (changed & Reminder::kCompleted) target.completed = fields.completed;
  if (changed & Reminder::kPriority) target.priority = static_cast<NSUInteger>(fields.priority);
  // Dates before rules: a repeating reminder needs its dates when it takes its rules.
  if (changed & Reminder::kStartDateComponents) {
    target.startDateComponents = ek_components(fields.start_date_components, zones);
  }
  if (changed & Reminder::kDueDateComponents) {
    target.dueDateComponents = ek_components(fields.due_date_components, zones);
  }
  if (changed & Reminder::kAlarms) target.alarms = ek_alarms(fields.alarms);
  if (changed & Reminder::kRecurrenceRules) target.recurrenceRules = ek_rules(fields.recurrence_rules);
}

}  // namespace platform::eventkit
