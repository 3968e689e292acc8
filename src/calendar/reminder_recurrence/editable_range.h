#pragma once

// The rules the bridge can write to the store faithfully.

#include "calendar/reminder_recurrence/rule_record.h"

namespace bridge {

// Whether every structural value of a rule with a known frequency lies within
// what a platform rule can hold: interval, weekdays and their weeks, the five
// number lists, the lists its frequency allows, and a companion list for set
// positions. A first weekday needs the stored rule to be reused, because a new
// platform rule cannot be given one. The end is not looked at.
bool within_editable_range(const Rule& rule, std::int64_t frequency, bool reuses_stored_rule);

}  // namespace bridge
