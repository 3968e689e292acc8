// Reminder fetches of the local store: read during the call (the store's files
// and parse cache belong to its caller), answered on another thread.

#include <algorithm>
#include <set>

#include "platform/local/local_event_store.h"
#include "platform/local/reminders/reminder_reader.h"

namespace platform::local {

namespace {

// The fields of a row: taken over when nobody else holds the row, else copied.
ReminderFields fields_of(ReminderRowRef row) {
  // Rows are made as mutable objects and only handed around as const.
  if (row.use_count() == 1) return std::move(const_cast<ReminderRow&>(*row).fields);
  return row->fields;
}

}  // namespace

FetchRequestId LocalEventStore::fetch_reminders(const std::vector<CalendarRef>& lists,
                                                ReminderFetchCompletion completion) {
  auto fetched = std::make_shared<FetchedReminders>();
  bool readable = true;
  // Only the store's own collections are read: a list is never a path of its own.
  std::vector<const Collection*> collections;
  std::set<std::string> seen;
  std::size_t files = 0;
  for (const CalendarRef& list : lists) {
    if (!list || !seen.insert(list->identifier).second) continue;
    const Collection* collection = collection_named(list->identifier);
    auto count = collection ? items_.file_count(collection->folder) : SysResult<std::size_t>(std::size_t{0});
    if (!collection || !count.ok()) {
      readable = false;
      break;
    }
    files += count.value();
    collections.push_back(collection);
  }
  // The array is made once at its largest size, and each list's rows go as soon as
  // they are in it.
  if (readable) fetched->reminders.reserve(files);
  for (const Collection* collection : collections) {
    if (!readable) break;
    auto rows = items_.reminders_in(collection->folder);
    if (!rows.ok()) {
      readable = false;
      break;
    }
    for (auto& [name, row] : rows.value()) {
      // No file text is kept: a later save reads the file as it is then.
      fetched->reminders.push_back(
          reminder_from_row(fields_of(std::move(row)), collection->folder + "/" + name, collection->calendar, nullptr));
    }
  }
  std::vector<Reminder>& reminders = fetched->reminders;
  if (readable) {
    std::sort(reminders.begin(), reminders.end(), [](const Reminder& a, const Reminder& b) {
      return a.calendar_item_identifier() < b.calendar_item_identifier();
    });
    fetched->by_identifier.reserve(reminders.size());
    for (std::size_t i = 0; i < reminders.size(); ++i) fetched->by_identifier.emplace(reminders[i].calendar_item_identifier(), i);
    fetched->handed_over.assign(reminders.size(), 0);
    last_fetch_ = fetched;
  } else {
    fetched.reset();
    last_fetch_.reset();
  }

  FetchRequestId id = next_fetch_++;
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  fetch_cancelled_.emplace(id, cancelled);
  threads_.run([completion = std::move(completion), fetched = std::move(fetched), cancelled]() mutable {
    if (completion && !cancelled->load()) completion(fetched ? &fetched->reminders : nullptr);
    if (fetched) fetched->callback_done.store(true, std::memory_order_release);
    fetched.reset();
  });
  return id;
}

std::optional<Reminder> LocalEventStore::fetched_reminder(std::string_view identifier) {
  if (!last_fetch_) return std::nullopt;
  FetchedReminders& fetched = *last_fetch_;
  auto found = fetched.by_identifier.find(std::string(identifier));
  if (found == fetched.by_identifier.end() || fetched.handed_over[found->second]) return std::nullopt;
  Reminder& reminder = fetched.reminders[found->second];
  // While the callback may still read the array, it is only copied from.
  if (!fetched.callback_done.load(std::memory_order_acquire)) return reminder;
  fetched.handed_over[found->second] = 1;
  Reminder out = std::move(reminder);
  // Once every reminder has been handed over, the array itself goes too.
  if (++fetched.handed_over_count == fetched.reminders.size()) last_fetch_.reset();
  return out;
}

void LocalEventStore::cancel_fetch_request(FetchRequestId id) {
  auto found = fetch_cancelled_.find(id);
  if (found != fetch_cancelled_.end()) found->second->store(true);
}

}  // namespace platform::local
