#pragma once

#include <string>

#include "platform/reminder.h"
#include "platform/local/parsed_item.h"
#include "platform/local/reminder_row.h"

namespace platform::local {

// What a file whose main component is a VTODO holds for a reminder, every text
// valid UTF-8.
ReminderRow reminder_row_of(const ParsedItem& item);

// The reminder `identifier` of `calendar` with these fields. `stored` (the file
// version they were read from, or null to read the file again) is what the
// reminder keeps for a later save.
Reminder reminder_from_row(ReminderFields fields, std::string identifier, CalendarRef calendar, ParsedItemRef stored);

// Both at once, for a parsed item.
Reminder reminder_from_item(const ParsedItem& item, ParsedItemRef stored, CalendarRef calendar);

}  // namespace platform::local
