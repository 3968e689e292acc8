#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/calendar.h"
#include "platform/date.h"
#include "platform/event_store.h"

namespace platform {

// A lock held until this object is destroyed.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// Everything the bridge asks of the machine: the calendar database's class-level
// operations, and the Foundation services (clock, run loop, calendar, time zones, URLs).
class Platform {
 public:
  virtual ~Platform() = default;

  // authorizationStatusForEntityType:. Opens nothing and prompts nobody.
  virtual AuthorizationStatus authorization_status(EntityType type) = 0;
  // alloc + init of an event store.
  virtual std::unique_ptr<EventStore> open_event_store() = 0;

  // The wall clock: [NSDate date]; dateWithTimeIntervalSinceNow: is now() plus the interval.
  virtual Date now() = 0;
  // [[NSRunLoop mainRunLoop] runUntilDate:]: runs main-thread work until the date,
  // and may return earlier once a platform callback has answered.
  virtual void run_main_loop_until(Date date) = 0;
  // A monotonic clock, unaffected by changes of the wall clock.
  virtual std::chrono::nanoseconds monotonic_now() = 0;
  // Sleeps until monotonic_now() reaches `time`; may return earlier once a
  // platform callback has answered.
  virtual void sleep_until(std::chrono::nanoseconds time) = 0;

  // [NSTimeZone localTimeZone].
  virtual TimeZone local_time_zone() = 0;
  // secondsFromGMTForDate:.
  virtual int seconds_from_gmt(const TimeZone& zone, Date date) = 0;
  // The Gregorian calendar's components:252 fromDate: in the local time zone,
  // whatever calendar the user chose for the system.
  virtual CalendarFields current_calendar_components(Date date) = 0;
  // dateFromComponents: of the components' own calendar, in their time zone (the
  // local one when they have none). Nothing when they have no calendar or no date.
  virtual std::optional<Date> date_from_components(const DateComponents& components) = 0;

  // URLWithString:: nothing when the text is no valid URL.
  virtual std::optional<Url> url_with_string(std::string_view text) = 0;

  // Waits until no other bridge process of this user holds the reminder-write
  // lock, then holds it until the result is destroyed. A write holds it from
  // looking up its reminder to the end of the save, so two processes saving one
  // new task make one reminder. Nothing when it cannot be had within a bounded
  // wait: the write then fails and changes nothing.
  virtual std::unique_ptr<HeldLock> hold_reminder_write_lock() = 0;
};

// The platform of this build (the backend linked into the executable).
std::unique_ptr<Platform> make_default_platform();

// Runs a whole command inside what this build's backend needs around one (on
// macOS an autorelease pool) and returns the command's exit status.
int run_command(const std::function<int()>& command);

}  // namespace platform
