#pragma once

// What the store keeps with a reminder it read, so a save writes onto exactly
// the file version it came from and keeps everything the bridge does not read.

#include <optional>
#include <string>

#include "platform/calendar.h"
#include "platform/date.h"
#include "platform/local/ical/parsed_item.h"

namespace platform::local {

struct StoredReminderOrigin : ItemOrigin {
  ParsedItemRef item;
};

// A VALARM as the file holds it, so an alarm handed back unchanged is kept whole.
struct StoredAlarmOrigin : ItemOrigin {
  std::string block;  // the VALARM's lines
  std::optional<Date> absolute_date;
};

}  // namespace platform::local
