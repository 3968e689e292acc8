#include "calendar/apple/front_end.h"

#include <exception>

#include "calendar/access/access.h"
#include "calendar/apple/calendar_list.h"
#include "calendar/apple/event_query.h"
#include "calendar/reminders/reminder_commands.h"
#include "text/utf8_text.h"

namespace bridge {
namespace {

constexpr std::string_view kRemindersPrefix = "reminders-";
constexpr const char* kUnknownCommand = "未知的日历命令：";
constexpr const char* kNoPlatform = "无法打开日历数据库";

CommandOutcome unknown_command(std::string_view shown) {
  return Failure{kUnknownCommand + std::string(shown)};
}

CommandOutcome call_handler(const PlatformSupplier& supplier, const CommandRoute& route, const Json& params) {
  platform::Platform* platform = supplier();
  if (platform == nullptr) return Failure{kNoPlatform};
  switch (route.handler) {
    case CommandHandler::status:
      return run_status_command(*platform);
    case CommandHandler::connect:
      return run_connect_command(*platform, params);
    case CommandHandler::calendars:
      return run_calendars_command(*platform, params);
    case CommandHandler::events:
      return query_events(*platform, params);
    case CommandHandler::reminders:
      return run_reminders_command(*platform, route.sub_command, params);
    case CommandHandler::unknown:
      break;
  }
  return Failure{kNoPlatform};
}

CommandOutcome dispatch(const PlatformSupplier& supplier, std::string_view command, const Json& params) {
  std::string valid = text::valid_utf8(command);
  if (valid != command) return unknown_command(valid);
  CommandRoute route = route_command(command);
  if (route.handler == CommandHandler::unknown) return unknown_command(command);
  try {
    return call_handler(supplier, route, params);
  } catch (const std::exception& error) {
    // Handlers report failures as values; this only keeps a fault from ending the
    // process without a message.
    return Failure{error.what()};
  }
}

}  // namespace

CommandRoute route_command(std::string_view command) {
  if (command == "calendars") return {CommandHandler::calendars, {}};
  if (command == "connect") return {CommandHandler::connect, {}};
  if (command == "status") return {CommandHandler::status, {}};
  if (command == "events") return {CommandHandler::events, {}};
  if (!command.starts_with(kRemindersPrefix)) return {CommandHandler::unknown, {}};
  while (command.starts_with(kRemindersPrefix)) command.remove_prefix(kRemindersPrefix.size());
  return {CommandHandler::reminders, command};
}

FrontEndOutput run_front_end(const PlatformSupplier& platform, const std::vector<std::string>& args,
                             const Json& params) {
  std::string_view command = args.empty() ? std::string_view() : std::string_view(args.front());
  return render_outcome(dispatch(platform, command, params));
}

}  // namespace bridge
