#pragma once

// The platform on macOS: the user's calendar database through EventKit, the
// system clocks, the main run loop, and the user's time zone.

#import <Foundation/Foundation.h>

#include <memory>

#include "platform/eventkit/time_zones.h"
#include "platform/platform.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

class EventKitPlatform : public Platform {
 public:
  AuthorizationStatus authorization_status(EntityType type) override;
  std::unique_ptr<EventStore> open_event_store() override;

  Date now() override;
  void run_main_loop_until(Date date) override;
  std::chrono::nanoseconds monotonic_now() override;
  void sleep_until(std::chrono::nanoseconds time) override;

  TimeZone local_time_zone() override;
  int seconds_from_gmt(const TimeZone& zone, Date date) override;
  CalendarFields current_calendar_components(Date date) override;
  std::optional<Date> date_from_components(const DateComponents& components) override;

  std::optional<Url> url_with_string(std::string_view text) override;

  std::unique_ptr<HeldLock> hold_reminder_write_lock() override;

 private:
  NSCalendar* local_gregorian_calendar();

  // Shared with the stores, which read zones from items.
  std::shared_ptr<TimeZones> zones_ = std::make_shared<TimeZones>();
  NSCalendar* _Nullable gregorian_ = nil;  // made on first use
};

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
