#pragma once

#include <vector>

#include "calendar/command/command_outcome.h"
#include "calendar/reminders/reminder_request.h"
#include "platform/platform.h"

namespace bridge::reminders {

// Creates (no target) or updates one reminder from the request, writing only the
// fields that changed against "previousFields", and answers its record. Every
// check comes before the one save, so a refused request leaves the store as it was.
CommandOutcome save_reminder(platform::Platform& platform, platform::EventStore& store,
                             const ReminderRequest& request, const std::vector<platform::CalendarRef>& selected_lists,
                             const platform::Reminder* target);

// Removes the target; a reminder that is already gone (no target) is no failure.
CommandOutcome delete_reminder(platform::EventStore& store, const platform::Reminder* target);

}  // namespace bridge::reminders
