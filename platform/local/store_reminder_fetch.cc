// Reminder fetches of the local store: read during the call (the store's files
// and parse cache belong to its caller), answered on another thread.

#include <algorithm>
#include <cerrno>
#include <set>

#include "platform/local/local_event_store.h"

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
    auto items = collection ? items_.items_in(collection->folder)
                            : SysResult<std::vector<ParsedItemRef>>(SysError{ENOENT, "open", list->identifier});
    if (!items.ok()) {
      readable = false;
      break;
    }
    for (const ParsedItemRef& item : items.value()) {
      if (item->kind != ICAL_VTODO_COMPONENT) continue;
      if (const Reminder* reminder = reminder_of(item, collection->calendar)) reminders->push_back(*reminder);
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
  threads_.run([completion = std::move(completion), reminders = std::move(reminders), cancelled] {
    if (completion && !cancelled->load()) completion(reminders.get());
  });
  return id;
}

void LocalEventStore::cancel_fetch_request(FetchRequestId id) {
  auto found = fetch_cancelled_.find(id);
  if (found != fetch_cancelled_.end()) found->second->store(true);
}

}  // namespace platform::local
