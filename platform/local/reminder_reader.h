#pragma once

#include "platform/reminder.h"
#include "platform/local/parsed_item.h"

namespace platform::local {

// The reminder of an item whose main component is a VTODO, every text valid UTF-8.
Reminder reminder_from_item(const ParsedItemRef& item, CalendarRef calendar);

}  // namespace platform::local
