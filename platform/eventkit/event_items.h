#pragma once

// An event occurrence as the event query returns it.

#import <EventKit/EventKit.h>

#include "platform/event.h"
#include "platform/eventkit/calendar_table.h"
#include "platform/eventkit/time_zones.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

Event event_of(EKEvent* event, CalendarTable& calendars, TimeZones& zones);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
