// Temporary definitions until each module lands; every owner deletes its part.
#include "calendar/apple/access.h"
#include "calendar/apple/calendar_list.h"
#include "calendar/apple/event_query.h"
#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/reminder_commands.h"

namespace bridge {
// --- access (front end) ---
int authorization_status(platform::Platform& p, platform::EntityType t) { return p.authorization_status(t); }
std::optional<std::string> check_access(platform::Platform&, platform::EntityType) { return "pending"; }
std::unique_ptr<platform::EventStore> open_event_store(platform::Platform& p) { return p.open_event_store(); }
std::optional<std::string> request_access(platform::Platform&, platform::EventStore&, platform::EntityType) {
  return "pending";
}
CommandOutcome run_status_command(platform::Platform&) { return CommandOutcome::failure("pending"); }
}  // namespace bridge
