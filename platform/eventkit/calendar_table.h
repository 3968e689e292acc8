#pragma once

// The calendars one event store has handed out: one CalendarRef per calendar
// for the store's lifetime, and the platform's calendar found again from it.

#import <EventKit/EventKit.h>

#include <map>
#include <string>

#include "platform/calendar.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

class CalendarTable {
 public:
  CalendarRef ref_for(EKCalendar* calendar);
  // The calendar of a ref this table made, or of a ref with the same identifier;
  // nil for a calendar this store never handed out.
  EKCalendar* _Nullable object_for(const CalendarRef& ref) const;

 private:
  struct Entry {
    CalendarRef ref;
    EKCalendar* object;
  };
  std::map<std::string, Entry> by_identifier_;
  std::map<const Calendar*, EKCalendar*> by_ref_;
};

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
