#include "calendar/apple/event_query.h"

#include <algorithm>
#include <string>
#include <vector>

#include "calendar/access/access.h"
#include "calendar/apple/event_conversion.h"
#include "calendar/apple/query_instant.h"
#include "calendar/command/request_params.h"

namespace bridge {

namespace {

// Wide windows can hold thousands of occurrences; the reply keeps those that start first.
constexpr std::size_t kMaxEvents = 800;

// The request as the query's steps use it, read once.
struct EventQueryRequest {
  std::string start, end;                 // a missing key or another type reads as the empty text
  std::vector<std::string> calendar_ids;  // the texts of "calendarIds" in order; anything else is ignored
};

EventQueryRequest read_event_query(const Json& request) {
  EventQueryRequest query;
  query.start = text_param(request, "start").value_or("");
  query.end = text_param(request, "end").value_or("");
  const Json* found = find_param(request, "calendarIds");
  if (found != nullptr && found->is_array()) {
    for (const Json& element : *found) {
      if (element.is_string()) query.calendar_ids.push_back(element.get<std::string>());
    }
  }
  return query;
}

// The store's event calendars named by the ids, each once, in the store's order.
std::vector<platform::CalendarRef> select_calendars(platform::EventStore& store, const std::vector<std::string>& ids) {
  std::vector<platform::CalendarRef> selected;
  for (platform::CalendarRef& calendar : store.calendars_for_entity_type(platform::EntityType::event)) {
    if (std::find(ids.begin(), ids.end(), calendar->identifier) != ids.end()) selected.push_back(std::move(calendar));
  }
  return selected;
}

}  // namespace

CommandOutcome query_events(platform::Platform& platform, const Json& request) {
  const EventQueryRequest query = read_event_query(request);
  if (query.calendar_ids.empty()) return Json::array();

  if (auto gate = check_access(platform, platform::EntityType::event); !gate.ok()) {
    return Failure{gate.error().message};
  }

  std::unique_ptr<platform::EventStore> store = platform.open_event_store();
  std::vector<platform::CalendarRef> calendars = select_calendars(*store, query.calendar_ids);
  // Without a calendar the window is never read, so unreadable dates still give [].
  if (calendars.empty()) return Json::array();

  auto start = parse_query_instant(query.start);
  if (!start.ok()) return std::move(start.error());
  auto end = parse_query_instant(query.end);
  if (!end.ok()) return std::move(end.error());

  // Only the events kept are converted, so the store need not convert the others.
  std::vector<platform::Event> events = store->first_events_matching(
      start.value(), end.value(), calendars, kMaxEvents);
  EventConversionContext context{platform, platform.local_time_zone()};
  Json reply = Json::array();
  std::size_t count = std::min(events.size(), kMaxEvents);
  for (std::size_t i = 0; i < count; ++i) reply.push_back(Json(event_from_ekevent(context, events[i])));
  return reply;
}

}  // namespace bridge
