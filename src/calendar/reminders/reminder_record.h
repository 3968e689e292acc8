#pragma once

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"
#include "platform/reminder.h"

namespace bridge::reminders {

// The reminder as the application sees it: the eleven keys "clientId",
// "completed", "due", "externalId", "id", "listId", "notes", "priority",
// "recurrenceRules", "remindAt" and "title", every one always present.
Json reminder_to_record(platform::Platform& platform, const platform::Reminder& reminder);

// The same into a record filled before: its keys stay, and a text takes the room
// the last one had, so a list of many reminders is written without making each
// record anew.
void refill_record(platform::Platform& platform, const platform::Reminder& reminder, Json& record);

}  // namespace bridge::reminders
