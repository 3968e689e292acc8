#pragma once

#include <optional>
#include <string>

#include "platform/calendar.h"
#include "platform/date.h"

namespace platform {

// One occurrence of an event, as the event query returns it.
struct Event {
  std::optional<std::string> event_identifier;
  std::string calendar_item_identifier;
  std::optional<std::string> external_identifier;
  std::string title;
  std::optional<std::string> location;
  std::optional<std::string> notes;
  Date start_date;
  Date end_date;
  bool is_all_day = false;
  CalendarRef calendar;  // null when the event has no calendar
  std::optional<TimeZone> time_zone;
  bool has_recurrence_rules = false;
};

}  // namespace platform
