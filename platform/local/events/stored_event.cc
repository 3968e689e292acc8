#include "platform/local/events/stored_event.h"

#include "platform/local/events/event_component.h"
#include "platform/local/events/event_series.h"
#include "platform/local/ical/text_properties.h"

namespace platform::local {

std::optional<Event> stored_event(const ParsedItem& item, const ItemPart& part, CalendarRef calendar) {
  // The file's own texts when its VEVENTs line up one to one with libical's.
  std::vector<EventTexts> texts = event_texts(item.text);
  std::size_t position = part.main_position();
  const EventTexts* own =
      texts.size() == item.count_of(ICAL_VEVENT_COMPONENT) && position < texts.size() ? &texts[position] : nullptr;
  auto event = read_event_component(part.main(), vcalendar_of(part.main()), nullptr, own);
  if (!event) return std::nullopt;
  auto times = occurrence_at(*event, event->start.value, event->start.zone);
  if (!times) return std::nullopt;
  Event out;
  out.event_identifier = item.identifier_of(part);
  out.calendar_item_identifier = item.identifier_of(part);
  out.external_identifier = event->uid;
  out.title = event->summary.value_or("");
  out.location = event->location;
  out.notes = event->description;
  out.start_date = times->start;
  out.end_date = times->end;
  out.is_all_day = event->is_all_day();
  out.calendar = std::move(calendar);
  if (!event->is_all_day() && event->start.zone.kind == IcalZone::Kind::utc) out.time_zone = TimeZone::named("UTC");
  if (!event->is_all_day() && event->start.zone.kind == IcalZone::Kind::zoned) {
    out.time_zone = TimeZone::named(event->start.zone.tzid);
  }
  out.has_recurrence_rules = event->has_rrule;
  return out;
}

}  // namespace platform::local
