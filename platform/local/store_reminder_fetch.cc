// Reminder fetches of the local store: read during the call (the store's files
// and parse cache belong to its caller), answered on another thread.

#include <algorithm>
#include <set>

#include "platform/local/local_event_store.h"
#include "platform/local/reminder_reader.h"

namespace platform::local {

FetchRequestId LocalEventStore::fetch_reminders(const std::vector<CalendarRef>& lists,
                                                ReminderFetchCompletion completion) {
  auto reminders = std::make_shared<std::vector<Reminder>>();
  bool readable = true;
  std::set<std::string> seen;
  for (const CalendarRef& list : lists) {
    if (!list || !seen.insert(list->identifier).second) continue;
    // Only the store's own collections are read: a list is never a path of its own.
    const Collection* collection = collection_named(list->identifier);
    if (!collection) {
      readable = false;
      break;
    }
    auto rows = items_.reminders_in(collection->folder);
    if (!rows.ok()) {
      readable = false;
      break;
    }
    for (const auto& [name, row] : rows.value()) {
      // No file text is kept: a later save reads the file as it is then.
      reminders->push_back(reminder_from_row(row->fields, collection->folder + "/" + name, collection->calendar, nullptr));
    }
  }
  if (!readable) {
    reminders.reset();
  } else {
    std::sort(reminders->begin(), reminders->end(), [](const Reminder& a, const Reminder& b) {
      return a.calendar_item_identifier() < b.calendar_item_identifier();
    });
  }

  FetchRequestId id = next_fetch_++;
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  fetch_cancelled_.emplace(id, cancelled);
  threads_.run([completion = std::move(completion), reminders = std::move(reminders), cancelled]() mutable {
    if (completion && !cancelled->load()) completion(reminders.get());
    // The caller looks each reminder up again: this copy goes at once.
    reminders.reset();
  });
  return id;
}

void LocalEventStore::cancel_fetch_request(FetchRequestId id) {
  auto found = fetch_cancelled_.find(id);
  if (found != fetch_cancelled_.end()) found->second->store(true);
}

}  // namespace platform::local
