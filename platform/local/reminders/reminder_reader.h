#pragma once

#include <string>

#include "platform/reminder.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/reminders/reminder_row.h"

namespace platform::local {

// What one VTODO item of a file holds for a reminder, every text valid UTF-8.
ReminderRow reminder_row_of(const ParsedItem& item, const ItemPart& part);
// The same for the file's first VTODO item (an empty row when it holds none).
ReminderRow reminder_row_of(const ParsedItem& item);

// The reminder `identifier` of `calendar` with these fields. `stored` (the file
// version they were read from, or null to read the file again) is what the
// reminder keeps for a later save.
Reminder reminder_from_row(ReminderFields fields, std::string identifier, CalendarRef calendar, ParsedItemRef stored);

// Both at once, for a parsed item.
Reminder reminder_from_item(const ParsedItem& item, const ItemPart& part, ParsedItemRef stored, CalendarRef calendar);

}  // namespace platform::local
