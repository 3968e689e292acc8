#pragma once

#include "platform/reminder.h"
#include "platform/local/parsed_item.h"

namespace platform::local {

// The reminder of an item whose main component is a VTODO, every text valid UTF-8.
// `stored` (the same file version) is what the reminder keeps for a later save.
Reminder reminder_from_item(const ParsedItem& item, ParsedItemRef stored, CalendarRef calendar);

}  // namespace platform::local
