#pragma once

// The checks of a save, in their order, before anything is changed: which list,
// and the title, priority, due date, repetition and alarm the request carries.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/command/expected.h"
#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/reminder_request.h"
#include "platform/platform.h"

namespace bridge::reminders {

struct SavePlan {
  platform::CalendarRef list;                     // the selected list named by "listId"
  std::string title;                              // trimmed, without NUL characters
  std::string notes;                              // without NUL characters
  std::int64_t priority = 0;
  std::optional<platform::DateComponents> due;
  std::optional<RuleList> rules;                  // set when the rules are to be written
  std::optional<std::optional<platform::Alarm>> alarm;  // set when the alarms are to be written
};

// The plan of a save, or the first check's message. `target` is the fetched
// reminder the request addresses, or nullptr for a new one.
Expected<SavePlan> check_save_request(const ReminderRequest& request,
                                      const std::vector<platform::CalendarRef>& selected_lists,
                                      const platform::Reminder* target);

}  // namespace bridge::reminders
