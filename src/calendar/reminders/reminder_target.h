#pragma once

#include <vector>

#include "calendar/command/expected.h"
#include "calendar/reminders/reminder_request.h"
#include "platform/reminder.h"

namespace bridge::reminders {

// The fetched reminder a request addresses: the one whose identifier is "id",
// else the only one carrying the task marker of "clientId"; nullptr for none.
// Several carrying the marker is a failure: the link is no longer unique.
Expected<const platform::Reminder*> find_target_reminder(const ReminderRequest& request,
                                                         const std::vector<platform::Reminder>& reminders);

}  // namespace bridge::reminders
