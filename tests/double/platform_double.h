#pragma once

// An in-memory platform for tests: programmable permission and access answers,
// calendars, events and reminders, and a fake clock that moves only when the
// run loop runs, so long waits take no real time. Like EventKit, a store opened
// without access to a kind of data lists none of its calendars until it is reset,
// and answers events in the order they were added, whatever their start.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace double_platform {

using platform::AuthorizationStatus;
using platform::CalendarRef;
using platform::Date;
using platform::EntityType;

// How the platform answers an access request.
enum class AccessAnswer {
  grant,             // granted, no error
  grant_with_error,  // granted, with an error object
  refuse,            // refused, no error
  refuse_with_error, // refused, with an error object
  never,             // keeps the callback and never calls it
  drop,              // releases the callback without calling it
};

// How the platform answers a reminders fetch.
enum class FetchAnswer { reminders, no_array, never, drop };

struct Counters {
  int stores_opened = 0;
  int stores_alive = 0;
  int full_access_requests = 0;
  int legacy_access_requests = 0;
  int run_loop_slices = 0;
  int sleeps = 0;  // sleeps for what a run-loop slice left
  // The longest time one run-loop slice was asked to run: the pacing of a wait.
  std::chrono::microseconds longest_run_loop_slice{0};
  int fetches = 0;
  int fetch_cancels = 0;
  int saves = 0;
  int removes = 0;
  int status_reads = 0;
  int resets = 0;
  int unchanged_saves = 0;  // saves of a stored reminder that changed nothing
  int write_locks_taken = 0;
  int fetches_under_write_lock = 0;
  int saves_under_write_lock = 0;
  int removes_under_write_lock = 0;
};

struct State;

class PlatformDouble : public platform::Platform {
 public:
  PlatformDouble();
  ~PlatformDouble() override;

  // --- programming the double ---
  void set_status(EntityType type, AuthorizationStatus status);
  // Answer of the next access requests; `error_text` goes with the *_with_error kinds.
  void set_access_answer(AccessAnswer answer, std::string error_text = {});
  // Deliver the access answer only once the fake clock has moved this far past the request.
  void set_access_answer_delay(std::chrono::milliseconds delay);
  // Whether stores respond to the full-access selectors (true on current systems).
  void set_supports_full_access(bool supported);
  // Grant also sets the status to full access, as a real prompt does.
  void set_grant_updates_status(bool updates);
  // Calls a callback still held back (never/delayed answers) now, on another thread.
  void deliver_held_access_answer(bool granted);

  CalendarRef add_calendar(EntityType type, platform::Calendar calendar);
  void add_event(platform::Event event);
  // Adds a stored reminder; its calendar must be one of the reminder lists.
  void add_reminder(platform::ReminderFields fields);
  // The stored state of a reminder, or nothing.
  std::optional<platform::ReminderFields> stored_reminder(const std::string& identifier) const;
  std::vector<platform::ReminderFields> stored_reminders() const;
  void remove_stored_reminder(const std::string& identifier);

  void set_fetch_answer(FetchAnswer answer);
  void set_fetch_answer_delay(std::chrono::milliseconds delay);
  // Runs on the main thread after the fetch callback has been called (to change the store in between).
  void set_after_fetch_answer(std::function<void()> hook);
  // The next saves fail with this text (empty: saves succeed).
  void set_save_error(std::string text);
  // Fails only the save with this 1-based number.
  void set_save_error_on(int save_number, std::string text);
  void set_remove_error(std::string text);
  // Saves that have something to save, or removals, answer NO without an error
  // and store nothing, as the calendar database may.
  void set_save_answers_no_without_error(bool answers);
  void set_remove_answers_no_without_error(bool answers);
  // Lets a test change what a save stores (e.g. drop a count), after the save is applied.
  void set_save_transform(std::function<void(platform::ReminderFields&)> transform);

  // The reminder-write lock cannot be had (a holder that never lets go, or no
  // private place for it): hold_reminder_write_lock gives nothing.
  void set_write_lock_unavailable(bool unavailable);
  bool write_lock_held() const;

  void set_local_time_zone(platform::TimeZone zone, int offset_seconds);
  // Offset of a named zone (fixed-offset zones need no entry).
  void set_zone_offset(const std::string& name, int offset_seconds);
  void set_wall_clock(Date now);
  // The run loop returns at once, as runUntilDate: does with nothing attached to
  // it: each turn takes kRunLoopTurn of fake time, whatever date it was given.
  void set_run_loop_returns_at_once(bool at_once);
  static constexpr std::chrono::microseconds kRunLoopTurn{100};

  const Counters& counters() const;
  std::chrono::nanoseconds fake_elapsed() const;

  // --- platform::Platform ---
  AuthorizationStatus authorization_status(EntityType type) override;
  std::unique_ptr<platform::EventStore> open_event_store() override;
  Date now() override;
  void run_main_loop_until(Date date) override;
  std::chrono::nanoseconds monotonic_now() override;
  void sleep_until(std::chrono::nanoseconds time) override;
  platform::TimeZone local_time_zone() override;
  int seconds_from_gmt(const platform::TimeZone& zone, Date date) override;
  platform::CalendarFields current_calendar_components(Date date) override;
  std::optional<Date> date_from_components(const platform::DateComponents& components) override;
  std::optional<platform::Url> url_with_string(std::string_view text) override;
  std::unique_ptr<platform::HeldLock> hold_reminder_write_lock() override;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace double_platform
