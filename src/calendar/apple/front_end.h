#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/command/command_outcome.h"
#include "calendar/command/reply_output.h"
#include "platform/platform.h"

namespace bridge {

// Gives the platform when a command first needs it (nullptr when there is none),
// so that commands which touch no calendar data never create it.
using PlatformSupplier = std::function<platform::Platform*()>;

enum class CommandHandler { status, connect, calendars, events, reminders, unknown };

struct CommandRoute {
  CommandHandler handler = CommandHandler::unknown;
  std::string_view sub_command;  // reminders: what follows every leading "reminders-"
};

// The handler a command text reaches: whole-text matches, then the reminders prefix.
CommandRoute route_command(std::string_view command);

// One run: `args` are the arguments after the program name (only the first, the
// command, is looked at), `params` the parameters value read from standard input.
FrontEndOutput run_front_end(const PlatformSupplier& platform, const std::vector<std::string>& args,
                             const Json& params);

}  // namespace bridge
