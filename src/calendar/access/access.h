#pragma once

#include <memory>
#include <optional>
#include <string>

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"

namespace bridge {

// The platform's authorization status for a kind of data; opens nothing.
platform::AuthorizationStatus authorization_status(platform::Platform& platform, platform::EntityType type);

// The access gate: nothing when the status is full access, else the kind's gate message.
std::optional<std::string> check_access(platform::Platform& platform, platform::EntityType type);

// A new event store.
std::unique_ptr<platform::EventStore> open_event_store(platform::Platform& platform);

// Asks for access and waits for the answer within the deadline. Nothing when
// granted, else the failure message.
std::optional<std::string> request_access(platform::Platform& platform, platform::EventStore& store,
                                          platform::EntityType type);

// "authorized", "available" and "denied" for a status: what the status replies
// of events and of reminders share.
Json permission_report(platform::AuthorizationStatus status);

// Command "status": the event permission report.
CommandOutcome run_status_command(platform::Platform& platform);

}  // namespace bridge
