#pragma once

// A reminder row packed into the one column the index keeps it in, and back: a fetch
// holds one string for each reminder and decodes it only when it is looked up.

#include <optional>
#include <string>
#include <string_view>

#include "platform/local/reminders/reminder_row.h"

namespace platform::local {

// Nothing when part of the row has no packed form (an alarm whose origin is not a
// stored block, say), would not read back, or holds only for the machine's zone now.
std::optional<std::string> packed_reminder(const ReminderRow& row);
// Null unless the bytes are a packed row holding only what reading a file gives.
ReminderRowRef row_from_packed(std::string_view packed);

}  // namespace platform::local
