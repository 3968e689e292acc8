#include "calendar/reminders/reminder_target.h"

#include "calendar/reminders/reminder_messages.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {

Expected<const platform::Reminder*> find_target_reminder(const ReminderRequest& request,
                                                         const std::vector<platform::Reminder>& reminders) {
  if (request.id) {
    for (const platform::Reminder& reminder : reminders) {
      if (reminder.calendar_item_identifier() == *request.id) return &reminder;
    }
  }
  const platform::Reminder* marked = nullptr;
  if (request.client_id) {
    for (const platform::Reminder& reminder : reminders) {
      if (!carries_task_marker(reminder, *request.client_id)) continue;
      if (marked != nullptr) return Failure{kReminderMovedOrDeleted};
      marked = &reminder;
    }
  }
  return marked;
}

}  // namespace bridge::reminders
