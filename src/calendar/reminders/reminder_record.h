#pragma once

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"
#include "platform/reminder.h"

namespace bridge::reminders {

// The reminder as the application sees it: the eleven keys "clientId",
// "completed", "due", "externalId", "id", "listId", "notes", "priority",
// "recurrenceRules", "remindAt" and "title", every one always present.
Json reminder_to_record(platform::Platform& platform, const platform::Reminder& reminder);

}  // namespace bridge::reminders
