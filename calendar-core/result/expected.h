#pragma once

// The bridge's one failure carrier: a value, or why there is none. Each layer
// has its own reason: the logic a Failure (the message the user sees), the local
// store a SysError (call, path, errno) or the platform Error, the platform
// interface the platform Error.

#include <utility>
#include <variant>

namespace result {

// The value of a step that gives none back.
using Done = std::monostate;

template <class T, class E>
class Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(E error) : state_(std::in_place_index<1>, std::move(error)) {}
  bool ok() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  E& error() { return std::get<1>(state_); }
  const E& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

}  // namespace result
