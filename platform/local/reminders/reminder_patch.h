#pragma once

// A reminder's fields written into its item text, as iCalendar properties.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/local/ical/item_text_edit.h"
#include "platform/reminder.h"
#include "result/expected.h"

namespace platform::local {

// The identification of files this store creates.
inline constexpr const char* kProductId = "-//calendar-bridge//local calendar store//EN";

// The text of a new item file holding one empty VTODO with this UID.
std::string new_reminder_text(const std::string& uid, Date now);

// Writes the fields named by `fields` (Reminder::Field bits) and fresh DTSTAMP and
// LAST-MODIFIED; every other line stays as it was. The new text, or what could
// not be written.
result::Expected<std::string, Error> patch_reminder(ItemTextEdit edit, const ReminderFields& reminder, std::uint32_t fields, Date now);

}  // namespace platform::local
