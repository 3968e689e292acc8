#pragma once

#include <string>
#include <utility>
#include <variant>

#include <nlohmann/json.hpp>

namespace bridge {

using Json = nlohmann::json;

// What a failing handler says to the user (a Chinese message, printed as is).
struct Failure {
  std::string message;
};

// What every handler returns: a reply value or a failure message.
class CommandOutcome {
 public:
  CommandOutcome(Json reply) : value_(std::move(reply)) {}
  CommandOutcome(Failure failure) : value_(std::move(failure)) {}

  static CommandOutcome reply(Json value) { return CommandOutcome(std::move(value)); }
  static CommandOutcome failure(std::string message) { return CommandOutcome(Failure{std::move(message)}); }

  bool is_reply() const { return std::holds_alternative<Json>(value_); }
  const Json& reply_value() const { return std::get<Json>(value_); }
  const std::string& message() const { return std::get<Failure>(value_).message; }

 private:
  std::variant<Json, Failure> value_;
};

}  // namespace bridge
