#pragma once

#include "caldav/event_record.h"
#include "platform/platform.h"

namespace bridge {

// What converting the events of one query needs from the machine; the local zone
// is read once per query, not once per event.
struct EventConversionContext {
  platform::Platform& platform;
  platform::TimeZone local_zone;
};

// The application's record of one platform event, with the fallbacks for a missing
// calendar, identifier, title or location; never fails.
caldav::CalendarEvent event_from_ekevent(const EventConversionContext& context, const platform::Event& event);

}  // namespace bridge
