#include "caldav/event_record.h"

namespace caldav {

using nlohmann::json;

namespace {

json or_null(const std::optional<std::string>& value) { return value ? json(*value) : json(nullptr); }

}  // namespace

void to_json(json& out, const CalendarEvent& event) {
  out = json::object();
  out["recurringEventId"] = nullptr;
  out["originalStartTime"] = nullptr;
  if (event.repeat_read_only) out["repeatReadOnly"] = true;
  out["id"] = event.id;
  out["eventId"] = event.event_id;
  out["zoltTaskId"] = nullptr;
  out["zoltBlockId"] = nullptr;
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
  out["color"] = or_null(event.color);
}

}  // namespace caldav
