#pragma once

// One connection to the calendar database: an EKEventStore made by alloc + init
// and released with this object when the command ends.

#import <EventKit/EventKit.h>

#include <cstddef>
#include <map>
#include <memory>

#include "platform/event_store.h"
#include "platform/eventkit/calendar_table.h"
#include "platform/eventkit/time_zones.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

EKEntityType ek_entity_type(EntityType type);

class EventKitEventStore : public EventStore {
 public:
  EventKitEventStore(EKEventStore* store, std::shared_ptr<TimeZones> zones);

  // store_access.mm
  bool responds_to_full_access_request(EntityType type) const override;
  void request_full_access(EntityType type, AccessCompletion completion) override;
  void request_access(EntityType type, AccessCompletion completion) override;
  void reset() override;

  // store_events.mm
  std::vector<CalendarRef> calendars_for_entity_type(EntityType type) override;
  std::vector<Event> events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) override;
  std::vector<Event> first_events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars,
                                           std::size_t limit) override;
  std::optional<CalendarItem> calendar_item_with_identifier(std::string_view identifier) override;

  // store_reminders.mm
  FetchRequestId fetch_reminders(const std::vector<CalendarRef>& lists, ReminderFetchCompletion completion) override;
  void cancel_fetch_request(FetchRequestId id) override;
  Reminder new_reminder() override;
  result::Expected<result::Done, Error> save_reminder(Reminder& reminder) override;
  result::Expected<result::Done, Error> remove_reminder(const Reminder& reminder) override;

 private:
  NSArray<EKCalendar*>* ek_calendars(const std::vector<CalendarRef>& calendars) const;

  EKEventStore* store_;
  std::shared_ptr<TimeZones> zones_;
  CalendarTable calendars_;
  std::map<FetchRequestId, id> fetches_;  // the platform's identifiers of running fetches
  FetchRequestId next_fetch_ = 1;
};

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
