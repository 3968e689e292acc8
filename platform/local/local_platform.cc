#include "platform/local/local_platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/local/root/access_record.h"
#include "platform/local/time/components_date.h"
#include "platform/local/local_event_store.h"
#include "platform/local/root/store_root.h"
#include "platform/local/text/foundation_url_syntax.h"
#include "platform/local/time/wall_clock.h"
#include "platform/local/time/zone_time.h"
#include "platform/posix/user_lock.h"

namespace platform::local {

LocalPlatform::LocalPlatform() : root_(resolve_store_root()) {}
LocalPlatform::LocalPlatform(std::string root) : root_(std::move(root)) {}

AuthorizationStatus LocalPlatform::authorization_status(EntityType type) { return read_access_record(root_).status(type); }

std::unique_ptr<EventStore> LocalPlatform::open_event_store() {
  // A root that cannot be made leaves a store with no collections: every read
  // then finds nothing and every write reports why it failed.
  create_default_root_if_missing(root_);
  return std::make_unique<LocalEventStore>(root_, signal_);
}

Date LocalPlatform::now() { return wall_clock_date(); }

void LocalPlatform::run_main_loop_until(Date date) {
  double remaining = date.seconds_since_1970 - now().seconds_since_1970;
  if (!(remaining > 0)) remaining = 0;
  // A date years ahead still waits, but within what a steady clock can add.
  remaining = std::min(remaining, 1e9);
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(remaining));
  signal_->wait_until(deadline);
}

std::chrono::nanoseconds LocalPlatform::monotonic_now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

// A store callback's answer wakes it, as it wakes the run loop.
void LocalPlatform::sleep_until(std::chrono::nanoseconds time) {
  signal_->wait_until(std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(time)));
}

TimeZone LocalPlatform::local_time_zone() { return TimeZone::named(local_zone_name()); }

int LocalPlatform::seconds_from_gmt(const TimeZone& zone, Date date) {
  if (auto fixed = zone.fixed_offset_seconds()) return *fixed;
  return zone_offset_at(zone.name(), date);
}

CalendarFields LocalPlatform::current_calendar_components(Date date) { return current_calendar_fields(date); }

std::optional<Date> LocalPlatform::date_from_components(const DateComponents& components) {
  return date_of_components(components);
}

std::optional<Url> LocalPlatform::url_with_string(std::string_view text) {
  if (!foundation_url_accepts(text)) return std::nullopt;
  return Url{std::string(text)};
}

// The store's root is the last place for the lock, when the user has no other.
std::unique_ptr<HeldLock> LocalPlatform::hold_reminder_write_lock() { return posix::hold_reminder_write_lock_file(root_); }

}  // namespace platform::local

namespace platform {

std::unique_ptr<Platform> make_default_platform() { return std::make_unique<local::LocalPlatform>(); }

// The local store needs nothing around a command.
int run_command(const std::function<int()>& command) { return command(); }

}  // namespace platform
