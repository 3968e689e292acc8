#pragma once

// Dates and date components between the calendar database and the bridge.

#import <Foundation/Foundation.h>

#include <optional>

#include "platform/date.h"
#include "platform/eventkit/time_zones.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

Date date_of(NSDate* date);
NSDate* ns_date(Date date);

// Unset fields keep the undefined value; a calendar is read as its identifier.
DateComponents components_of(NSDateComponents* components, TimeZones& zones);
// Components built with `new`; a calendar or zone the platform does not know is left unset.
NSDateComponents* ns_components(const DateComponents& components, TimeZones& zones);
// The calendar of that identifier (the Gregorian one for kGregorianCalendar).
NSCalendar* _Nullable calendar_with_identifier(const std::string& identifier);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
