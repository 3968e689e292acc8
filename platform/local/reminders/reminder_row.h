#pragma once

// A reminder as the store read it from one file version, without its list or its
// file: what the index keeps so that an unchanged file need not be read again.

#include <memory>
#include <string>
#include <vector>

#include "platform/reminder.h"

namespace platform::local {

struct ReminderRow {
  // No identifier and no list: both come from where the file lies. Alarms carry
  // their VALARM blocks as origins; rules are rebuilt from `rule_values`.
  ReminderFields fields;
  // The RRULE values, unfolded, that the rules were read from.
  std::vector<std::string> rule_values;
  // Some value was read in the machine's zone (an alarm at a floating time): it is
  // right only for the zone it was read in, so the index does not keep it.
  bool follows_local_zone = false;
};

using ReminderRowRef = std::shared_ptr<const ReminderRow>;

}  // namespace platform::local
