#include "platform/eventkit/event_items.h"

#include "platform/eventkit/date_components.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {

Event event_of(EKEvent* event, CalendarTable& calendars, TimeZones& zones) {
  Event result;
  result.event_identifier = optional_text_of(event.eventIdentifier);
  result.calendar_item_identifier = text_of(required(event.calendarItemIdentifier, "calendarItemIdentifier"));
  result.external_identifier = optional_text_of(event.calendarItemExternalIdentifier);
  // No title reads as an empty one, which the event record shows as untitled.
  result.title = optional_text_of(event.title).value_or(std::string());
  result.location = optional_text_of(event.location);
  result.notes = optional_text_of(event.notes);
  result.start_date = date_of(required(event.startDate, "startDate"));
  result.end_date = date_of(required(event.endDate, "endDate"));
  result.is_all_day = event.allDay;
  if (EKCalendar* calendar = event.calendar) result.calendar = calendars.ref_for(calendar);
  if (NSTimeZone* zone = event.timeZone) result.time_zone = zones.remember(zone);
  result.has_recurrence_rules = event.hasRecurrenceRules;
  return result;
}

}  // namespace platform::eventkit
