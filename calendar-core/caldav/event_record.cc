#include "caldav/event_record.h"

namespace caldav {

using nlohmann::json;

namespace {

template <typename T>
json or_null(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

template <typename T>
void set_if_present(json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

struct RepeatEndWriter {
  json operator()(const RepeatEnd::Never&) const { return {{"type", "never"}}; }
  json operator()(const RepeatEnd::OnDate& end) const { return {{"type", "date"}, {"date", end.date}}; }
  json operator()(const RepeatEnd::AfterCount& end) const { return {{"type", "count"}, {"count", end.count}}; }
};

}  // namespace

void to_json(json& out, const EventAttendee& attendee) {
  out = json::object();
  out["email"] = attendee.email;
  set_if_present(out, "displayName", attendee.display_name);
  set_if_present(out, "photoUrl", attendee.photo_url);
  set_if_present(out, "responseStatus", attendee.response_status);
  set_if_present(out, "optional", attendee.optional);
  set_if_present(out, "organizer", attendee.organizer);
  set_if_present(out, "self", attendee.self);
}

void to_json(json& out, const RepeatEnd& end) { out = std::visit(RepeatEndWriter{}, end.value); }

void to_json(json& out, const CustomRepeat& rule) {
  out = json::object();
  out["frequency"] = rule.frequency;
  out["interval"] = rule.interval;
  out["weekdays"] = json::array();
  for (std::uint32_t day : rule.weekdays) out["weekdays"].push_back(day);
  out["end"] = rule.end;
}

void to_json(json& out, const EventRepeat& repeat) {
  std::visit([&out](const auto& form) { out = form; }, repeat.value);
}

void to_json(json& out, const CalendarEvent& event) {
  out = json::object();
  set_if_present(out, "etag", event.etag);
  out["recurringEventId"] = or_null(event.recurring_event_id);
  out["originalStartTime"] = or_null(event.original_start_time);
  set_if_present(out, "repeat", event.repeat);
  if (event.repeat_read_only) out["repeatReadOnly"] = true;
  out["id"] = event.id;
  out["eventId"] = event.event_id;
  out["zoltTaskId"] = or_null(event.zolt_task_id);
  out["zoltBlockId"] = or_null(event.zolt_block_id);
  out["provider"] = event.provider;
  out["calendarId"] = event.calendar_id;
  out["calendarTitle"] = event.calendar_title;
  out["title"] = event.title;
  out["start"] = event.start;
  out["end"] = event.end;
  out["allDay"] = event.all_day;
  out["timeZone"] = or_null(event.time_zone);
  out["location"] = or_null(event.location);
  out["link"] = or_null(event.link);
  out["description"] = or_null(event.description);
  out["attendees"] = json::array();
  for (const EventAttendee& attendee : event.attendees) out["attendees"].push_back(attendee);
  out["color"] = or_null(event.color);
}

}  // namespace caldav
