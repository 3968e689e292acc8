#pragma once

#include <string_view>

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"

namespace bridge {

// The reminders family: "status", "connect", "read", "save", "delete".
CommandOutcome run_reminders_command(platform::Platform& platform, std::string_view sub_command,
                                     const Json& params);

}  // namespace bridge
