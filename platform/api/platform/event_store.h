#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/calendar.h"
#include "platform/earliest_starts.h"
#include "platform/event.h"
#include "platform/reminder.h"
#include "result/expected.h"

namespace platform {

// Called at most once, on a thread of the platform's choosing. A platform may
// also destroy it without calling it; whatever it captured is released then.
using AccessCompletion = std::function<void(bool granted, std::optional<Error> error)>;

// Called once, on another thread or before the fetch call returns, with each
// fetched reminder's calendarItemIdentifier in the platform's order, or with
// nothing when the platform has no array to give. Only texts cross threads: the
// caller looks each reminder up again with calendar_item_with_identifier.
using ReminderFetchCompletion = std::function<void(std::optional<std::vector<std::string>> identifiers)>;

using FetchRequestId = std::uint64_t;

using CalendarItem = std::variant<Event, Reminder>;

// One connection to the calendar database (EKEventStore). Owned by the command
// that opened it and released when the command ends.
class EventStore {
 public:
  virtual ~EventStore() = default;

  // respondsToSelector: for requestFullAccessToEvents/RemindersWithCompletion:.
  virtual bool responds_to_full_access_request(EntityType type) const = 0;
  // requestFullAccessToEventsWithCompletion: / requestFullAccessToRemindersWithCompletion:.
  virtual void request_full_access(EntityType type, AccessCompletion completion) = 0;
  // requestAccessToEntityType:completion:.
  virtual void request_access(EntityType type, AccessCompletion completion) = 0;

  // calendarsForEntityType:, in the store's order.
  virtual std::vector<CalendarRef> calendars_for_entity_type(EntityType type) = 0;

  // predicateForEventsWithStartDate:endDate:calendars: + eventsMatchingPredicate:.
  virtual std::vector<Event> events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) = 0;
  // The `limit` events of events_matching that start first (of equal starts, the
  // earlier in its order), kept in its order; events_matching promises no order,
  // so its first `limit` could leave out the start of the window. A store that
  // answers in order of start may simply stop after `limit` events.
  virtual std::vector<Event> first_events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars,
                                                   std::size_t limit) {
    std::vector<Event> events = events_matching(start, end, calendars);
    if (events.size() <= limit) return events;
    std::vector<Date> starts;
    starts.reserve(events.size());
    for (const Event& event : events) starts.push_back(event.start_date);
    std::vector<Event> kept;
    kept.reserve(limit);
    for (std::size_t position : earliest_starts(starts, limit)) kept.push_back(std::move(events[position]));
    return kept;
  }

  // predicateForRemindersInCalendars: + fetchRemindersMatchingPredicate:completion:.
  virtual FetchRequestId fetch_reminders(const std::vector<CalendarRef>& lists,
                                         ReminderFetchCompletion completion) = 0;
  // reset: forgets what the store has read, so the next read sees the database as
  // it is now. A store made before access was first granted may go on answering as
  // if without access until then. A store that reads afresh every time has nothing to do.
  virtual void reset() {}

  // cancelFetchRequest:.
  virtual void cancel_fetch_request(FetchRequestId id) = 0;

  // calendarItemWithIdentifier:.
  virtual std::optional<CalendarItem> calendar_item_with_identifier(std::string_view identifier) = 0;

  // reminderWithEventStore:: a new, unsaved reminder.
  virtual Reminder new_reminder() = 0;
  // saveReminder:commit:error: with commit YES. On success the reminder is updated
  // to what was stored (a new one gets its identifier).
  virtual result::Expected<result::Done, Error> save_reminder(Reminder& reminder) = 0;
  // removeReminder:commit:error: with commit YES.
  virtual result::Expected<result::Done, Error> remove_reminder(const Reminder& reminder) = 0;
};

}  // namespace platform
