#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calendar/command/command_outcome.h"
#include "calendar/command/expected.h"
#include "platform/recurrence.h"

namespace bridge {

using RuleList = std::vector<platform::RecurrenceRule>;

// One stored rule as its rule record (a JSON object); checks no range.
Json rule_to_record(const platform::RecurrenceRule& rule);

// The request's "recurrenceRules" value turned into platform rules, reusing the
// stored rule at the same position when only its end differs; or the message.
Expected<RuleList> build_recurrence_rules(const Json& value, const std::optional<RuleList>& current);

// Whether a requested rule (JSON) needs its first weekday kept.
bool depends_on_first_weekday(const Json& rule);

}  // namespace bridge
