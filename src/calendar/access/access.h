#pragma once

#include "calendar/command/command_outcome.h"
#include "calendar/command/expected.h"
#include "platform/platform.h"

namespace bridge {

// The access gate: done when the status is full access, else the kind's gate message.
Expected<Done> check_access(platform::Platform& platform, platform::EntityType type);

// Asks for access and waits for the answer within the deadline: done when
// granted, else the failure message.
Expected<Done> request_access(platform::Platform& platform, platform::EventStore& store, platform::EntityType type);

// "authorized", "available" and "denied" for a status: what the status replies
// of events and of reminders share.
Json permission_report(platform::AuthorizationStatus status);

// Command "status": the event permission report.
CommandOutcome run_status_command(platform::Platform& platform);

}  // namespace bridge
