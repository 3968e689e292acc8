#pragma once

// The application's own record of one calendar event and its JSON form. Objects
// are nlohmann::json maps, so their keys print in ascending byte order whatever
// order they are set in.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace caldav {

// The fields an event from the calendar database fills. Each comment says what
// an absent value becomes in JSON. The JSON form also carries the keys of fields
// this source never has: "attendees" (empty) and "originalStartTime",
// "recurringEventId", "zoltBlockId" and "zoltTaskId" (null).
struct CalendarEvent {
  bool repeat_read_only = false;  // omitted when false
  std::string id;
  std::string event_id;
  std::string provider;
  std::string calendar_id;
  std::string calendar_title;
  std::string title;
  std::string start;
  std::string end;
  bool all_day = false;
  std::optional<std::string> time_zone;    // null
  std::optional<std::string> location;     // null
  std::optional<std::string> link;         // null
  std::optional<std::string> description;  // null
  std::optional<std::string> color;        // null

  friend bool operator==(const CalendarEvent&, const CalendarEvent&) = default;
};

// Found by nlohmann::json through argument-dependent lookup, so
// `nlohmann::json j = event;` and vectors of records convert as well.
void to_json(nlohmann::json& out, const CalendarEvent& event);

}  // namespace caldav
