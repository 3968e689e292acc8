#pragma once

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"

namespace bridge {

// Command "events": the events of the chosen calendars in a window.
CommandOutcome query_events(platform::Platform& platform, const Json& request);

}  // namespace bridge
