#pragma once

// The application's own record of one calendar event, shared by every calendar
// source, and its JSON form. Objects are nlohmann::json maps, so their keys print
// in ascending byte order whatever order they are set in.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace caldav {

struct EventAttendee {
  std::string email;
  // Absent values are left out of the JSON object (not written as null).
  std::optional<std::string> display_name;
  std::optional<std::string> photo_url;
  std::optional<std::string> response_status;
  std::optional<bool> optional;
  std::optional<bool> organizer;
  std::optional<bool> self;

  friend bool operator==(const EventAttendee&, const EventAttendee&) = default;
};

// How a custom repetition ends: never, on a date, or after a number of occurrences.
struct RepeatEnd {
  struct Never {
    friend bool operator==(const Never&, const Never&) = default;
  };
  struct OnDate {
    std::string date;
    friend bool operator==(const OnDate&, const OnDate&) = default;
  };
  struct AfterCount {
    std::uint32_t count = 0;
    friend bool operator==(const AfterCount&, const AfterCount&) = default;
  };

  std::variant<Never, OnDate, AfterCount> value;

  static RepeatEnd never() { return {Never{}}; }
  static RepeatEnd on_date(std::string date) { return {OnDate{std::move(date)}}; }
  static RepeatEnd after_count(std::uint32_t count) { return {AfterCount{count}}; }
  friend bool operator==(const RepeatEnd&, const RepeatEnd&) = default;
};

struct CustomRepeat {
  std::string frequency;
  std::uint32_t interval = 1;
  std::vector<std::uint32_t> weekdays;
  RepeatEnd end;
  friend bool operator==(const CustomRepeat&, const CustomRepeat&) = default;
};

// A preset (written as a bare string) or a custom rule (written as an object);
// the JSON form carries no tag, the shape tells them apart.
struct EventRepeat {
  std::variant<std::string, CustomRepeat> value;

  static EventRepeat preset(std::string name) { return {std::move(name)}; }
  static EventRepeat custom(CustomRepeat rule) { return {std::move(rule)}; }
  friend bool operator==(const EventRepeat&, const EventRepeat&) = default;
};

// Fields in declaration order. Each comment says what an absent value becomes in JSON.
struct CalendarEvent {
  std::optional<std::string> etag;                // omitted
  std::optional<std::string> recurring_event_id;  // null
  std::optional<std::string> original_start_time; // null
  std::optional<EventRepeat> repeat;              // omitted
  bool repeat_read_only = false;                  // omitted when false
  std::string id;
  std::string event_id;
  std::optional<std::string> zolt_task_id;   // null
  std::optional<std::string> zolt_block_id;  // null
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
  std::vector<EventAttendee> attendees;
  std::optional<std::string> color;  // null

  friend bool operator==(const CalendarEvent&, const CalendarEvent&) = default;
};

// JSON forms; found by nlohmann::json through argument-dependent lookup, so
// `nlohmann::json j = event;` and vectors of records convert as well.
void to_json(nlohmann::json& out, const EventAttendee& attendee);
void to_json(nlohmann::json& out, const RepeatEnd& end);
void to_json(nlohmann::json& out, const CustomRepeat& rule);
void to_json(nlohmann::json& out, const EventRepeat& repeat);
void to_json(nlohmann::json& out, const CalendarEvent& event);

}  // namespace caldav
