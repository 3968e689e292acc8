#pragma once

// A reminders request read once into what its sub-commands use: every later step
// takes this value, none goes back to the JSON. Reading never fails: a missing
// key, or a value of another type, reads as absent (the checks come later, in
// their own order).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/command/command_outcome.h"

namespace bridge::reminders {

// The fields a save may write, each compared with "previousFields" as it is read.
enum class ReminderField { title, notes, due, priority, recurrence_rules, remind_at, completed };
inline constexpr std::size_t kReminderFieldCount = 7;

struct ReminderRequest {
  std::vector<std::string> list_ids;  // "listIds": empty unless an array of texts only
  bool names_unsupported_feature = false;  // "parentId", "tags" or "smartListId" is present
  std::optional<std::string> id;           // "id"
  std::optional<std::string> client_id;    // "clientId"
  std::optional<std::string> list_id;      // "listId"
  std::string title;                       // "title" as sent; empty when absent
  std::string notes;                       // "notes"; empty when absent
  std::optional<std::string> due;          // "due"
  std::optional<std::uint64_t> priority;   // "priority" when a non-negative integer
  std::optional<Json> recurrence_rules;    // "recurrenceRules" unless absent or null
  bool requests_counted_end = false;       // a rule of the array ends after a count
  std::optional<std::string> remind_at;    // "remindAt"
  std::optional<bool> completed;           // "completed" when a boolean

  // Whether a save writes the field: always for a new reminder (no target),
  // else when the request's value differs from the last synchronised one.
  bool writes(ReminderField field, bool has_target) const {
    return !has_target || differs_from_previous[static_cast<std::size_t>(field)];
  }

  // Per field, set for each by read_reminder_request: it differs from
  // "previousFields", or there are none to compare with.
  std::array<bool, kReminderFieldCount> differs_from_previous{};
};

ReminderRequest read_reminder_request(const Json& params);

}  // namespace bridge::reminders
