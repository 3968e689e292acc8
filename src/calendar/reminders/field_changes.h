#pragma once

#include <string_view>

#include "calendar/command/command_outcome.h"

namespace bridge::reminders {

// Whether a save writes the field `key`: always for a new reminder or without
// "previousFields", else exactly when the request's value differs from the one
// last synchronised (numbers compared by kind first, so 1 and 1.0 differ).
bool should_write_field(const Json& params, std::string_view key, bool has_target);

}  // namespace bridge::reminders
