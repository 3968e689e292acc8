#include "calendar/command/command_outcome.h"

namespace bridge {

const Json& CommandOutcome::reply_value() const {
  if (const auto* text = std::get_if<SerializedReply>(&value_)) {
    if (!read_back_) read_back_ = Json::parse(text->text, nullptr, false);
    return *read_back_;
  }
  return std::get<Json>(value_);
}

result::Expected<std::string, Failure> CommandOutcome::reply_text() && {
  if (auto* text = std::get_if<SerializedReply>(&value_)) return std::move(text->text);
  try {
    return std::get<Json>(value_).dump();
  } catch (const Json::exception& error) {
    return Failure{error.what()};
  }
}

}  // namespace bridge
