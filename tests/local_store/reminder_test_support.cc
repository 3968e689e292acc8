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
  store.fetch_reminders(lists, [shared](const std::vector<platform::Reminder>* reminders) {
    std::lock_guard lock(shared->mutex);
    shared->answer.answered = true;
    shared->answer.had_array = reminders != nullptr;
    shared->answer.thread = std::this_thread::get_id();
    if (reminders) {
      for (const auto& r : *reminders) shared->answer.identifiers.push_back(r.calendar_item_identifier());
      shared->answer.reminders = *reminders;
    }
    shared->changed.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  shared->changed.wait_for(lock, std::chrono::seconds(10), [&] { return shared->answer.answered; });
  return shared->answer;
}

platform::CalendarRef list_named(platform::EventStore& store, const std::string& identifier) {
  for (const auto& list : store.calendars_for_entity_type(platform::EntityType::reminder)) {
    if (list->identifier == identifier) return list;
  }
  ADD_FAILURE() << "no reminder list " << identifier;
  return nullptr;
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
