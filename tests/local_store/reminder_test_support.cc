#include "local_store/reminder_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace store_test {

FetchAnswer fetch_and_wait(platform::EventStore& store, const std::vector<platform::CalendarRef>& lists) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    FetchAnswer answer;
  };
  auto shared = std::make_shared<Shared>();
  store.fetch_reminders(lists, [shared](std::optional<std::vector<std::string>> identifiers) {
    std::lock_guard lock(shared->mutex);
    shared->answer.answered = true;
    shared->answer.had_array = identifiers.has_value();
    shared->answer.thread = std::this_thread::get_id();
    if (identifiers) shared->answer.identifiers = std::move(*identifiers);
    shared->changed.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  shared->changed.wait_for(lock, std::chrono::seconds(10), [&] { return shared->answer.answered; });
  FetchAnswer answer = shared->answer;
  lock.unlock();
  // Looked up again on the asking thread, as the bridge does.
  for (const std::string& identifier : answer.identifiers) answer.reminders.push_back(stored_reminder(store, identifier));
  return answer;
}

platform::CalendarRef list_named(platform::EventStore& store, const std::string& identifier) {
  for (const auto& list : store.calendars_for_entity_type(platform::EntityType::reminder)) {
    if (list->identifier == identifier) return list;
  }
  ADD_FAILURE() << "no reminder list " << identifier;
  return nullptr;
}

std::string refusal(const result::Expected<result::Done, platform::Error>& outcome) {
  return outcome.ok() ? std::string() : outcome.error().localized_description;
}

platform::Reminder stored_reminder(platform::EventStore& store, const std::string& identifier) {
  auto item = store.calendar_item_with_identifier(identifier);
  if (!item || !std::holds_alternative<platform::Reminder>(*item)) {
    ADD_FAILURE() << "no reminder " << identifier;
    return platform::Reminder();
  }
  return std::get<platform::Reminder>(*item);
}

std::string todo_file(const std::string& body, const std::string& before_todo) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + before_todo + "BEGIN:VTODO\r\n" + body +
         "END:VTODO\r\nEND:VCALENDAR\r\n";
}

std::vector<std::string> lines_without_stamps(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  std::istringstream in(text);
  std::string physical;
  auto flush = [&] {
    if (!current.empty() && current.rfind("DTSTAMP", 0) != 0 && current.rfind("LAST-MODIFIED", 0) != 0)
      lines.push_back(current);
    current.clear();
  };
  while (std::getline(in, physical)) {
    if (!physical.empty() && physical.back() == '\r') physical.pop_back();
    if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
      current += physical.substr(1);
    } else {
      flush();
      current = physical;
    }
  }
  flush();
  return lines;
}

}  // namespace store_test
