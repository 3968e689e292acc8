#include "platform/eventkit/eventkit_platform.h"

#import <EventKit/EventKit.h>
#import <Foundation/Foundation.h>

#include <chrono>
#include <thread>

#include "platform/eventkit/date_components.h"
#include "platform/eventkit/eventkit_event_store.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"
#include "platform/eventkit/ns_url.h"
#include "platform/posix/user_lock.h"

namespace platform::eventkit {
namespace {

// Year, month, day, hour, minute and second.
constexpr NSCalendarUnit kYearToSecond = static_cast<NSCalendarUnit>(
    NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute |
    NSCalendarUnitSecond);
static_assert(kYearToSecond == 252);

}  // namespace

AuthorizationStatus EventKitPlatform::authorization_status(EntityType type) {
  return static_cast<AuthorizationStatus>([EKEventStore authorizationStatusForEntityType:ek_entity_type(type)]);
}

std::unique_ptr<EventStore> EventKitPlatform::open_event_store() {
  EKEventStore* store = required([[EKEventStore alloc] init], "EKEventStore init");
  return std::make_unique<EventKitEventStore>(store, zones_);
}

// Called on every slice of a wait: each call's temporaries go at once.
Date EventKitPlatform::now() {
  @autoreleasepool {
    return date_of(required([NSDate dateWithTimeIntervalSinceNow:0], "dateWithTimeIntervalSinceNow:"));
  }
}

void EventKitPlatform::run_main_loop_until(Date date) {
  @autoreleasepool {
    [required(NSRunLoop.mainRunLoop, "mainRunLoop") runUntilDate:ns_date(date)];
  }
}

std::chrono::nanoseconds EventKitPlatform::monotonic_now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

// A plain sleep: EventKit answers on its own queues, never through this thread.
void EventKitPlatform::sleep_until(std::chrono::nanoseconds time) {
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(time)));
}

TimeZone EventKitPlatform::local_time_zone() {
  return zones_->remember(required(NSTimeZone.localTimeZone, "localTimeZone"));
}

int EventKitPlatform::seconds_from_gmt(const TimeZone& zone, Date date) {
  NSTimeZone* object = zones_->object_for(zone);
  // Only zones this platform handed out or made from an offset reach here.
  if (object == nil) return zone.fixed_offset_seconds().value_or(0);
  return static_cast<int>([object secondsFromGMTForDate:ns_date(date)]);
}

// The application reads Gregorian dates: the calendar the user chose for the
// system (Buddhist, Japanese ...) would give other years.
NSCalendar* EventKitPlatform::local_gregorian_calendar() {
  NSCalendar* calendar = gregorian_;
  if (calendar == nil) {
    calendar = required(calendar_with_identifier(kGregorianCalendar), "calendarWithIdentifier:");
    calendar.timeZone = required(NSTimeZone.localTimeZone, "localTimeZone");
    gregorian_ = calendar;
  }
  return calendar;
}

CalendarFields EventKitPlatform::current_calendar_components(Date date) {
  NSDateComponents* components =
      required([local_gregorian_calendar() components:kYearToSecond fromDate:ns_date(date)], "components:fromDate:");
  return CalendarFields{components.year, components.month, components.day,
                        components.hour, components.minute, components.second};
}

std::optional<Date> EventKitPlatform::date_from_components(const DateComponents& components) {
  if (!components.calendar) return std::nullopt;
  NSCalendar* calendar = calendar_with_identifier(*components.calendar);
  if (calendar == nil) return std::nullopt;
  // A zone the platform cannot name again would silently become the local one.
  if (components.time_zone && zones_->object_for(*components.time_zone) == nil) return std::nullopt;
  NSDate* date = [calendar dateFromComponents:ns_components(components, *zones_)];
  if (date == nil) return std::nullopt;
  return date_of(date);
}

std::optional<Url> EventKitPlatform::url_with_string(std::string_view text) {
  NSURL* url = ns_url(text);
  if (url == nil) return std::nullopt;
  NSString* written = url.absoluteString;
  if (written == nil) return std::nullopt;
  return Url{text_of(written)};
}

// EventKit has no lock of its own across processes: the file lock every backend
// shares. Its database has no folder of the bridge's to hold the lock as a last resort.
std::unique_ptr<HeldLock> EventKitPlatform::hold_reminder_write_lock() {
  return posix::hold_reminder_write_lock_file(std::string());
}

}  // namespace platform::eventkit

namespace platform {

std::unique_ptr<Platform> make_default_platform() { return std::make_unique<eventkit::EventKitPlatform>(); }

// Cocoa expects every call inside an autorelease pool: this one holds what the
// command's calls leave, the per-item pools inside it drain as they go.
int run_command(const std::function<int()>& command) {
  @autoreleasepool {
    return command();
  }
}

}  // namespace platform
