#pragma once

// A reminder row as the index holds it, its fields as texts packed into one
// string, and back. Whatever does not read back exactly is refused, so the store
// then reads the file instead.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/reminders/reminder_row.h"

namespace platform::local {

struct ReminderColumns {
  std::optional<std::string> uid;
  std::string title;
  std::optional<std::string> notes;
  std::optional<std::string> url;
  std::optional<std::string> zone;  // see zone_text
  bool completed = false;
  std::int64_t priority = 0;
  std::optional<std::string> start;   // see components_text
  std::optional<std::string> due;
  // Each alarm: its VALARM block as stored (none for one made here) and its absolute
  // date (none for one relative to the due date).
  struct Alarm {
    std::optional<std::string> block;
    std::optional<double> seconds_since_1970;
  };
  std::vector<Alarm> alarms;
  std::vector<std::string> rules;  // the RRULE values
};

// Nothing when some part of the row has no column form (an alarm whose origin is
// not a stored block, say) or holds only for the machine's zone of the moment.
std::optional<ReminderColumns> columns_of(const ReminderRow& row);
// Null when a column does not read.
ReminderRowRef row_from_columns(ReminderColumns columns);

// The columns packed into one string, as the index keeps them: a fetch holds one
// string for each reminder and decodes a reminder's fields only when it is looked up.
std::string packed_columns(const ReminderColumns& columns);
// Nothing when the bytes are no packing of ReminderColumns.
std::optional<ReminderColumns> unpacked_columns(std::string_view packed);
// The row packed columns hold; null when they do not read.
ReminderRowRef row_from_packed(std::string_view packed);

// A time zone as text: "@<name>" for a named zone, "=<seconds>" for a fixed offset.
std::string zone_text(const TimeZone& zone);
std::optional<TimeZone> zone_from_text(std::string_view text);

// Date components as text: year, month, day, hour, minute, second and nanosecond
// ("-" when undefined), the calendar ("-" when none), then the zone ("-" when none),
// separated by single spaces. Nothing for a calendar name that is empty or holds a space.
std::optional<std::string> components_text(const DateComponents& components);
std::optional<DateComponents> components_from_text(std::string_view text);

}  // namespace platform::local
