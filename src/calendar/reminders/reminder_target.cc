#include "calendar/reminders/reminder_target.h"

#include "calendar/command/request_params.h"
#include "calendar/reminders/reminder_messages.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {

Expected<const platform::Reminder*> find_target_reminder(platform::Platform& platform, const Json& params,
                                                         const std::vector<platform::Reminder>& reminders) {
  if (std::optional<std::string_view> id = text_param(params, "id")) {
    for (const platform::Reminder& reminder : reminders) {
      if (reminder.calendar_item_identifier() == *id) return &reminder;
    }
  }
  const platform::Reminder* marked = nullptr;
  if (std::optional<std::string_view> client_id = text_param(params, "clientId")) {
    for (const platform::Reminder& reminder : reminders) {
      if (!carries_task_marker(platform, reminder, *client_id)) continue;
      if (marked != nullptr) return Failure{kReminderMovedOrDeleted};
      marked = &reminder;
    }
  }
  return marked;
}

}  // namespace bridge::reminders
