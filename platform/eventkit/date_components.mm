#include "platform/eventkit/date_components.h"

#include <string>

#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {

static_assert(kUndefinedComponent == NSDateComponentUndefined, "the bridge's undefined value is the platform's");
static_assert(sizeof(NSInteger) == sizeof(std::int64_t), "components are 64-bit");

Date date_of(NSDate* date) { return Date::with_time_interval_since_1970(date.timeIntervalSince1970); }

NSDate* ns_date(Date date) {
  return required([NSDate dateWithTimeIntervalSince1970:date.time_interval_since_1970()],
                  "dateWithTimeIntervalSince1970:");
}

NSCalendar* _Nullable calendar_with_identifier(const std::string& identifier) {
  if (identifier == kGregorianCalendar) return [NSCalendar calendarWithIdentifier:NSCalendarIdentifierGregorian];
  return [NSCalendar calendarWithIdentifier:ns_string(identifier)];
}

DateComponents components_of(NSDateComponents* components, TimeZones& zones) {
  DateComponents result;
  result.year = components.year;
  result.month = components.month;
  result.day = components.day;
  result.hour = components.hour;
  result.minute = components.minute;
  result.second = components.second;
  result.nanosecond = components.nanosecond;
  if (NSCalendar* calendar = components.calendar) result.calendar = text_of(calendar.calendarIdentifier);
  if (NSTimeZone* zone = components.timeZone) result.time_zone = zones.remember(zone);
  return result;
}

NSDateComponents* ns_components(const DateComponents& components, TimeZones& zones) {
  NSDateComponents* result = required([NSDateComponents new], "NSDateComponents new");
  if (components.calendar) result.calendar = calendar_with_identifier(*components.calendar);
  if (components.time_zone) result.timeZone = zones.object_for(*components.time_zone);
  // Set only what is defined: an unset field already reads as undefined.
  if (components.year != kUndefinedComponent) result.year = static_cast<NSInteger>(components.year);
  if (components.month != kUndefinedComponent) result.month = static_cast<NSInteger>(components.month);
  if (components.day != kUndefinedComponent) result.day = static_cast<NSInteger>(components.day);
  if (components.hour != kUndefinedComponent) result.hour = static_cast<NSInteger>(components.hour);
  if (components.minute != kUndefinedComponent) result.minute = static_cast<NSInteger>(components.minute);
  if (components.second != kUndefinedComponent) result.second = static_cast<NSInteger>(components.second);
  if (components.nanosecond != kUndefinedComponent) result.nanosecond = static_cast<NSInteger>(components.nanosecond);
  return result;
}

}  // namespace platform::eventkit
