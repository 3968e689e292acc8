#pragma once

#include "calendar/command/command_outcome.h"
#include "calendar/reminders/reminder_request.h"
#include "platform/platform.h"

namespace bridge::reminders {

// Reopens the saved repeating reminder through a fresh store and checks that
// every counted end of the request survived; rewrites the rules once when one
// did not. Answers the re-read reminder's record, or the message. At most two
// re-reads and one rewrite.
CommandOutcome verify_recurrence_count(platform::Platform& platform, const ReminderRequest& request,
                                       const platform::Reminder& saved);

}  // namespace bridge::reminders
