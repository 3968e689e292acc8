#pragma once

// The platform on Linux: the local calendar store under its root folder, the
// system clocks, and the machine's time zone and calendar.

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/local/callbacks/run_loop_signal.h"

namespace platform::local {

class LocalPlatform : public Platform {
 public:
  // The store at the root the environment names; resolving it reads no file.
  LocalPlatform();
  explicit LocalPlatform(std::string root);

  const std::string& root() const { return root_; }

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
  std::string root_;
  std::shared_ptr<RunLoopSignal> signal_ = std::make_shared<RunLoopSignal>();
};

}  // namespace platform::local
