#pragma once

#include <string_view>

#include "calendar/command/command_outcome.h"

namespace bridge::reminders {

// Whether the request's value of `key` differs from the one last synchronised in
// "previousFields" (numbers compared by kind first, so 1 and 1.0 differ); true
// when there is no "previousFields" to compare with.
bool differs_from_previous(const Json& params, std::string_view key);

}  // namespace bridge::reminders
