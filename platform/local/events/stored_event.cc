#include "platform/local/events/stored_event.h"

#include "platform/local/events/event_component.h"
#include "platform/local/events/event_occurrences.h"
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
  return event_of(*event, item.identifier_of(part), calendar, event->has_rrule, *times);
}

}  // namespace platform::local
