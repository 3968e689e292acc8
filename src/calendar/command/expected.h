#pragma once

#include <variant>

#include "calendar/command/command_outcome.h"

namespace bridge {

// A value, or the message that says why there is none.
template <class T>
using Expected = std::variant<T, Failure>;

// What a step that gives no value back gives when it succeeds.
using Done = std::monostate;

template <class T>
bool failed(const Expected<T>& result) {
  return std::holds_alternative<Failure>(result);
}

template <class T>
const std::string& failure_message(const Expected<T>& result) {
  return std::get<Failure>(result).message;
}

}  // namespace bridge
