#pragma once

// Reminders between the calendar database and the bridge: reading every field
// the bridge uses, and writing back exactly the fields the bridge changed onto
// the platform's reminder, which the reminder's origin holds.

#import <EventKit/EventKit.h>

#include "platform/eventkit/calendar_table.h"
#include "platform/eventkit/time_zones.h"
#include "platform/reminder.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

Reminder reminder_of(EKReminder* reminder, CalendarTable& calendars, TimeZones& zones, bool is_new);
// The platform's reminder a Reminder was read from; nil for one from elsewhere.
EKReminder* _Nullable stored_reminder(const Reminder& reminder);
void apply_changes(const Reminder& reminder, EKReminder* target, const CalendarTable& calendars, TimeZones& zones);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
