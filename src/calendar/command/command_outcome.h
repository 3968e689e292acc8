#pragma once

#include <string>
#include <utility>
#include <variant>

#include <nlohmann/json.hpp>

#include "result/expected.h"

namespace bridge {

using Json = nlohmann::json;

// What a failing handler says to the user (a Chinese message, printed as is).
struct Failure {
  std::string message;
};

// A reply already in its compact form, for replies too large to hold both as
// values and as text (a list of every reminder, say).
struct SerializedReply {
  std::string text;
};

// What every handler returns: a reply value or a failure message.
class CommandOutcome {
 public:
  CommandOutcome(Json reply) : value_(std::move(reply)) {}
  CommandOutcome(Failure failure) : value_(std::move(failure)) {}
  CommandOutcome(SerializedReply reply) : value_(std::move(reply)) {}

  bool is_reply() const { return !std::holds_alternative<Failure>(value_); }
  // The reply's compact text (keys in byte order, non-ASCII raw), taken out of the
  // outcome: a serialized reply may be most of the process's memory. A value that
  // holds invalid UTF-8 has none: the failure carries the JSON library's text.
  result::Expected<std::string, Failure> reply_text() &&;
  const std::string& message() const { return std::get<Failure>(value_).message; }

 private:
  std::variant<Json, Failure, SerializedReply> value_;
};

}  // namespace bridge
