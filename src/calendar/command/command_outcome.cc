#include "calendar/command/command_outcome.h"

namespace bridge {

result::Expected<std::string, Failure> CommandOutcome::reply_text() && {
  if (auto* text = std::get_if<SerializedReply>(&value_)) return std::move(text->text);
  try {
    return std::get<Json>(value_).dump();
  } catch (const Json::exception& error) {
    return Failure{error.what()};
  }
}

}  // namespace bridge
