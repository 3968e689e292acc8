#pragma once

// Shared steps of the reminder tests: fetching through the store and waiting for
// the answer on its own thread.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_store.h"

namespace store_test {

struct FetchAnswer {
  bool answered = false;
  bool had_array = false;
  std::vector<std::string> identifiers;
  std::vector<platform::Reminder> reminders;  // each identifier looked up after the answer
  std::thread::id thread;
};

// Fetches the reminders of the lists, waits (without sleeping) for the answer and
// looks each reminder up.
FetchAnswer fetch_and_wait(platform::EventStore& store, const std::vector<platform::CalendarRef>& lists);

// The one reminder list of that identifier.
platform::CalendarRef list_named(platform::EventStore& store, const std::string& identifier);

// What a save or a removal was refused with; empty when it was done.
std::string refusal(const result::Expected<result::Done, platform::Error>& outcome);

// The stored reminder of that identifier, read through the store.
platform::Reminder stored_reminder(platform::EventStore& store, const std::string& identifier);

// iCalendar text around one VTODO body (lines joined with CRLF).
std::string todo_file(const std::string& body, const std::string& before_todo = "");

// The text's lines, unfolded, without DTSTAMP and LAST-MODIFIED (which every write renews).
std::vector<std::string> lines_without_stamps(const std::string& text);

}  // namespace store_test
