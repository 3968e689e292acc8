#pragma once

// A platform double with three reminder lists ("A" and "B" writable, "RO"
// read-only), full reminders permission, and helpers to store and read reminders.

#include <gtest/gtest.h>

#include <string>

#include "calendar/command/command_outcome.h"
#include "double/platform_double.h"
#include "support/reply_json.h"

namespace reminders_test {

using bridge::Json;
using platform::AuthorizationStatus;
using platform::EntityType;

inline platform::ReminderFields reminder_fields(const std::string& id, platform::CalendarRef list,
                                                const std::string& title = "Task") {
  platform::ReminderFields fields;
  fields.calendar_item_identifier = id;
  fields.calendar = std::move(list);
  fields.title = title;
  return fields;
}

class ReminderLists {
 public:
  ReminderLists() {
    platform.set_status(EntityType::reminder, AuthorizationStatus::fullAccess);
    list_a = platform.add_calendar(EntityType::reminder, {"A", "Inbox", {}, platform::Source{"iCloud"}, true});
    list_b = platform.add_calendar(EntityType::reminder, {"B", "Work", {}, std::nullopt, true});
    read_only = platform.add_calendar(EntityType::reminder, {"RO", "Shared", {}, std::nullopt, false});
  }

  platform::ReminderFields stored(const std::string& id) const {
    auto found = platform.stored_reminder(id);
    EXPECT_TRUE(found.has_value()) << id;
    return found.value_or(platform::ReminderFields{});
  }

  double_platform::PlatformDouble platform;
  platform::CalendarRef list_a, list_b, read_only;
};

class RemindersFixture : public ::testing::Test, public ReminderLists {};

// The outcome as one comparable text: the compact reply, or "failure: " and the message.
inline std::string outcome_text(const bridge::CommandOutcome& outcome) {
  return outcome.is_reply() ? reply_json(outcome).dump() : "failure: " + outcome.message();
}

}  // namespace reminders_test
