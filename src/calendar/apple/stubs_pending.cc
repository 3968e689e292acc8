// Temporary definitions until each module lands; every owner deletes its part.
#include "calendar/apple/access.h"
#include "calendar/apple/calendar_list.h"
#include "calendar/apple/event_query.h"
#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/reminder_commands.h"

namespace bridge {
}  // namespace bridge
