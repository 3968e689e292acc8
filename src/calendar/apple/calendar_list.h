#pragma once

#include "calendar/apple/command_outcome.h"
#include "platform/platform.h"

namespace bridge {

// Command "calendars": the event calendars sorted by title.
CommandOutcome run_calendars_command(platform::Platform& platform, const Json& params);

// Command "connect": asks for event access, then the account label and the calendars.
CommandOutcome run_connect_command(platform::Platform& platform, const Json& params);

}  // namespace bridge
