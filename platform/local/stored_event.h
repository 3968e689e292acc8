#pragma once

#include <optional>

#include "platform/event.h"
#include "platform/local/parsed_item.h"

namespace platform::local {

// The event of an item whose main component is a VEVENT, as a lookup by identifier
// finds it: its own first occurrence. Nothing when it has no usable start.
std::optional<Event> stored_event(const ParsedItem& item, CalendarRef calendar);

}  // namespace platform::local
