#pragma once

// A reminder's RRULE text and the platform's recurrence rule, both ways.

#include <optional>
#include <string>
#include <string_view>

#include "platform/recurrence.h"

namespace platform::local {

// The rule an RRULE value describes; nothing when it does not parse or its
// frequency is finer than a day. Parts the platform has no place for (BYHOUR, X-
// parts ...) stay with the rule's origin.
std::optional<RecurrenceRule> rule_from_rrule_value(std::string_view value);

// The RRULE value of a rule: UNTIL in UTC whole seconds, WKST only when the rule has
// a first weekday. Nothing when the frequency is not one of daily to yearly.
std::optional<std::string> rrule_value_of(const RecurrenceRule& rule);

}  // namespace platform::local
