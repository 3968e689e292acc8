#include "calendar/apple/calendar_list.h"

#include <algorithm>

#include "calendar/apple/calendar_color.h"

namespace bridge {

namespace {

Json text_or_null(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

}  // namespace

std::vector<CalendarEntry> list_calendars(platform::EventStore& store) {
  std::vector<platform::CalendarRef> calendars = store.calendars_for_entity_type(platform::EntityType::event);
  std::vector<CalendarEntry> entries;
  entries.reserve(calendars.size());
  for (const platform::CalendarRef& calendar : calendars) {
    CalendarEntry entry;
    if (calendar->source) entry.source = calendar->source->title;
    entry.color = calendar_color_hex(calendar->color);
    entry.id = calendar->identifier;
    entry.title = calendar->title;
    entries.push_back(std::move(entry));
  }
  // std::string compares its bytes as unsigned values: neither locale-aware nor case-folded.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const CalendarEntry& a, const CalendarEntry& b) { return a.title < b.title; });
  return entries;
}

Json calendar_list_json(const std::vector<CalendarEntry>& entries) {
  Json list = Json::array();
  for (const CalendarEntry& entry : entries) {
    list.push_back({{"id", entry.id},
                    {"title", entry.title},
                    {"color", text_or_null(entry.color)},
                    {"source", text_or_null(entry.source)},
                    {"timeZone", text_or_null(entry.time_zone)},
                    {"primary", entry.primary},
                    {"writable", entry.writable}});
  }
  return list;
}

}  // namespace bridge
