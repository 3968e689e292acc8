#include "calendar/reminders/reminder_save.h"

#include "calendar/reminders/recurrence_count_check.h"
#include "calendar/reminders/reminder_record.h"
#include "calendar/reminders/save_request.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {
namespace {

// Puts the plan on the in-memory reminder; nothing reaches the store here.
void apply_plan(platform::Platform& platform, const ReminderRequest& request, const SavePlan& plan, bool has_target,
                platform::Reminder& reminder) {
  auto changed = [&](ReminderField field) { return request.writes(field, has_target); };
  // An existing reminder stays in its own list, whatever "listId" names.
  if (!has_target) reminder.set_calendar(plan.list);
  if (changed(ReminderField::title)) reminder.set_title(plan.title);
  if (changed(ReminderField::notes)) reminder.set_notes(plan.notes);
  if (changed(ReminderField::due)) reminder.set_due_date_components(plan.due);
  if (changed(ReminderField::priority)) reminder.set_priority(plan.priority);
  if (!has_target && request.client_id) reminder.set_url(task_marker_url(platform, *request.client_id));
  if (plan.alarm) {
    std::vector<platform::Alarm> alarms;
    if (*plan.alarm) alarms.push_back(**plan.alarm);
    reminder.set_alarms(std::move(alarms));
  }
  // A repeating reminder starts on its due date.
  if (plan.due && changed(ReminderField::due) && reminder.has_recurrence_rules()) {
    reminder.set_start_date_components(plan.due);
  }
  if (plan.rules) {
    if (!plan.rules->empty() && (!reminder.start_date_components() || changed(ReminderField::due))) {
      reminder.set_start_date_components(plan.due);
    }
    reminder.set_recurrence_rules(*plan.rules);
  }
  if (changed(ReminderField::completed)) {
    bool is_completed = request.completed.value_or(false);
    if (is_completed != reminder.is_completed()) reminder.set_completed(is_completed);
  }
}

}  // namespace

CommandOutcome save_reminder(platform::Platform& platform, platform::EventStore& store,
                             const ReminderRequest& request, const std::vector<platform::CalendarRef>& selected_lists,
                             const platform::Reminder* target) {
  Expected<SavePlan> checked = check_save_request(request, selected_lists, target);
  if (!checked.ok()) return std::move(checked.error());
  const SavePlan& plan = checked.value();

  const bool has_target = target != nullptr;
  platform::Reminder reminder = has_target ? *target : store.new_reminder();
  apply_plan(platform, request, plan, has_target, reminder);
  if (auto saved = store.save_reminder(reminder); !saved.ok()) {
    return Failure{saved.error().localized_description};
  }

  if (has_target && plan.rules && request.completed == false && request.requests_counted_end) {
    return verify_recurrence_count(platform, request, reminder);
  }
  return reminder_to_record(platform, reminder);
}

CommandOutcome delete_reminder(platform::EventStore& store, const platform::Reminder* target) {
  if (target != nullptr) {
    if (auto removed = store.remove_reminder(*target); !removed.ok()) {
      return Failure{removed.error().localized_description};
    }
  }
  return Json(nullptr);
}

}  // namespace bridge::reminders
