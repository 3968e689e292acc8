#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calendar/command/command_outcome.h"
#include "platform/platform.h"

namespace bridge {

// One event calendar of the "calendars" and "connect" replies.
struct CalendarEntry {
  std::string id;
  std::string title;
  std::optional<std::string> color;
  std::optional<std::string> source;
  std::optional<std::string> time_zone;  // never known for event calendars
  bool primary = false;
  bool writable = false;  // the bridge never writes events
  friend bool operator==(const CalendarEntry&, const CalendarEntry&) = default;
};

// Every event calendar of the store, sorted by title bytes; equal titles keep the store's order.
std::vector<CalendarEntry> list_calendars(platform::EventStore& store);

// The JSON array of the entries, each an object with all seven keys.
Json calendar_list_json(const std::vector<CalendarEntry>& entries);

// Command "calendars": the event calendars sorted by title.
CommandOutcome run_calendars_command(platform::Platform& platform, const Json& params);

// Command "connect": asks for event access, then the account label and the calendars.
CommandOutcome run_connect_command(platform::Platform& platform, const Json& params);

}  // namespace bridge
