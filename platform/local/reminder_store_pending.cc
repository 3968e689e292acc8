// Placeholder definitions until the reminder and event reads of the store land.

#include "platform/local/local_event_store.h"

namespace platform::local {

std::vector<Event> LocalEventStore::events_matching(Date, Date, const std::vector<CalendarRef>&) { return {}; }

FetchRequestId LocalEventStore::fetch_reminders(const std::vector<CalendarRef>&, ReminderFetchCompletion completion) {
  threads_.run([completion = std::move(completion)] {
    std::vector<Reminder> none;
    if (completion) completion(&none);
  });
  return next_fetch_++;
}

void LocalEventStore::cancel_fetch_request(FetchRequestId) {}

std::optional<CalendarItem> LocalEventStore::calendar_item_with_identifier(std::string_view) { return std::nullopt; }

Reminder LocalEventStore::new_reminder() { return Reminder(ReminderFields{}, nullptr, true); }

std::optional<Error> LocalEventStore::save_reminder(Reminder&) { return Error{"暂不支持保存提醒事项"}; }

std::optional<Error> LocalEventStore::remove_reminder(const Reminder&) { return Error{"暂不支持删除提醒事项"}; }

}  // namespace platform::local
