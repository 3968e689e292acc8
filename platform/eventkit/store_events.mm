// Calendars, events and items looked up by identifier.

#include <limits>
#include <vector>

#include "platform/earliest_starts.h"
#include "platform/eventkit/date_components.h"
#include "platform/eventkit/event_items.h"
#include "platform/eventkit/eventkit_event_store.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_array.h"
#include "platform/eventkit/ns_text.h"
#include "platform/eventkit/reminder_items.h"

namespace platform::eventkit {

std::vector<CalendarRef> EventKitEventStore::calendars_for_entity_type(EntityType type) {
  NSArray<EKCalendar*>* calendars =
      required([store_ calendarsForEntityType:ek_entity_type(type)], "calendarsForEntityType:");
  std::vector<CalendarRef> result;
  result.reserve(calendars.count);
  for (EKCalendar* calendar in calendars) result.push_back(calendars_.ref_for(calendar));
  return result;
}

NSArray<EKCalendar*>* EventKitEventStore::ek_calendars(const std::vector<CalendarRef>& calendars) const {
  std::vector<id> elements;
  elements.reserve(calendars.size());
  for (const CalendarRef& calendar : calendars) {
    if (EKCalendar* object = calendars_.object_for(calendar)) elements.push_back(object);
  }
  return ns_array(elements);
}

std::vector<Event> EventKitEventStore::events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) {
  return first_events_matching(start, end, calendars, std::numeric_limits<std::size_t>::max());
}

// The platform finds the whole window at once, in no documented order: past the
// limit, only the start dates are read to choose the events that start first, and
// only those are converted, in the platform's order.
std::vector<Event> EventKitEventStore::first_events_matching(Date start, Date end,
                                                             const std::vector<CalendarRef>& calendars,
                                                             std::size_t limit) {
  NSArray<EKCalendar*>* searched = ek_calendars(calendars);
  // No calendar of this store: no events (the platform could read no calendars as all of them).
  if (searched.count == 0 || limit == 0) return {};
  NSPredicate* predicate = required([store_ predicateForEventsWithStartDate:ns_date(start)
                                                                    endDate:ns_date(end)
                                                                  calendars:searched],
                                    "predicateForEventsWithStartDate:endDate:calendars:");
  NSArray<EKEvent*>* events = required([store_ eventsMatchingPredicate:predicate], "eventsMatchingPredicate:");
  std::vector<Event> result;
  auto convert = [&](EKEvent* event) {
    // A wide window holds many events: each one's temporaries go before the next.
    @autoreleasepool {
      result.push_back(event_of(event, calendars_, *zones_));
    }
  };
  if (events.count <= limit) {
    result.reserve(events.count);
    for (EKEvent* event in events) convert(event);
    return result;
  }
  std::vector<Date> starts;
  starts.reserve(events.count);
  for (EKEvent* event in events) {
    @autoreleasepool {
      starts.push_back(date_of(required(event.startDate, "startDate")));
    }
  }
  result.reserve(limit);
  for (std::size_t position : earliest_starts(starts, limit)) convert([events objectAtIndex:position]);
  return result;
}

// Called once per fetched reminder: each lookup's temporaries (the item's texts
// among them) go before the next, as thousands of reminders may follow.
std::optional<CalendarItem> EventKitEventStore::calendar_item_with_identifier(std::string_view identifier) {
  @autoreleasepool {
    EKCalendarItem* item = [store_ calendarItemWithIdentifier:ns_string(identifier)];
    if (item == nil) return std::nullopt;
    if ([item isKindOfClass:[EKReminder class]]) {
      return reminder_of(static_cast<EKReminder*>(item), calendars_, *zones_, false);
    }
    if ([item isKindOfClass:[EKEvent class]]) return event_of(static_cast<EKEvent*>(item), calendars_, *zones_);
    return std::nullopt;
  }
}

}  // namespace platform::eventkit
