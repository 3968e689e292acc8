#pragma once

#include <optional>

#include "platform/event.h"
#include "platform/local/ical/parsed_item.h"

namespace platform::local {

// The event of one VEVENT item of a file, as a lookup by identifier finds it: its
// main component's own first occurrence. Nothing when it has no usable start.
std::optional<Event> stored_event(const ParsedItem& item, const ItemPart& part, CalendarRef calendar);

}  // namespace platform::local
