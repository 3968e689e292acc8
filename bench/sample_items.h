#pragma once

// Item files as calendar programs write them, for the store's microbenchmarks:
// events of each kind the store meets and a reminder with every field.

#include <string>
#include <vector>

namespace bench {

enum class EventKind { utc, zoned, zone_in_file, all_day, weekly_repeating, daily_with_override };

// The text of one event file starting on day `day` of 2026 (0 = 1 January).
std::string event_file_text(EventKind kind, int day);

// One file of every event kind, `count` files in all, spread over 2026.
std::vector<std::string> mixed_event_files(int count);

// A reminder with due date, alarm, rule, notes, priority and task marker.
std::string reminder_file_text(int number);

}  // namespace bench
