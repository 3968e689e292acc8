// Reminder fetches of the local store: read during the call (the store's files
// and parse cache belong to its caller), answered on another thread with the
// reminders' identifiers; each reminder is read from the cache when looked up.

#include <algorithm>
#include <set>

#include "platform/local/local_event_store.h"

namespace platform::local {

FetchRequestId LocalEventStore::fetch_reminders(const std::vector<CalendarRef>& lists,
                                                ReminderFetchCompletion completion) {
  // Only the store's own collections are read: a list is never a path of its own.
  std::optional<std::vector<std::string>> identifiers(std::in_place);
  std::set<std::string> seen;
  for (const CalendarRef& list : lists) {
    if (!list || !seen.insert(list->identifier).second) continue;
    const Collection* collection = collection_named(list->identifier);
    auto names = collection ? items_.reminder_names_in(collection->folder)
                            : SysResult<std::vector<std::string>>(std::vector<std::string>());
    if (!collection || !names.ok()) {
      identifiers.reset();
      break;
    }
    // The reminders' fields stay in the item cache until each is looked up.
    for (const std::string& name : names.value()) identifiers->push_back(collection->folder + "/" + name);
  }
  if (identifiers) std::sort(identifiers->begin(), identifiers->end());

  FetchRequestId id = next_fetch_++;
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  fetch_cancelled_.emplace(id, cancelled);
  threads_.run([completion = std::move(completion), identifiers = std::move(identifiers), cancelled]() mutable {
    if (completion && !cancelled->load()) completion(std::move(identifiers));
  });
  return id;
}

void LocalEventStore::cancel_fetch_request(FetchRequestId id) {
  auto found = fetch_cancelled_.find(id);
  if (found != fetch_cancelled_.end()) found->second->store(true);
}

}  // namespace platform::local
