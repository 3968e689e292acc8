#pragma once

// The calendar database's operations whose result the bridge cannot do without
// (a store, a calendar list, a predicate, a new reminder, an identifier ...).
// When one of them answers nil the process ends at once with exit status 1 and
// one message on standard error: no reply, partial or whole, has been printed yet.

namespace platform::eventkit {

[[noreturn]] void end_on_nil(const char* operation);

// The object itself; ends the process when it is nil.
template <typename T>
T required(T object, const char* operation) {
  if (object == nullptr) end_on_nil(operation);
  return object;
}

}  // namespace platform::eventkit
