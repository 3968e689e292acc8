// Reminders: the asynchronous fetch, new reminders, saves and removals.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/eventkit/eventkit_event_store.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"
#include "platform/eventkit/reminder_items.h"

namespace platform::eventkit {
namespace {

// Saves and removals of a reminder this store did not hand out.
constexpr const char* kForeignReminder = "提醒事项不属于当前的日历数据库";
// A new reminder the database declined to store without saying why.
constexpr const char* kNewReminderNotSaved = "日历数据库没有保存新的提醒事项";

Error error_of(NSError* _Nullable error, const char* operation) {
  return Error{text_of(required(required(error, operation).localizedDescription, "localizedDescription"))};
}

}  // namespace

FetchRequestId EventKitEventStore::fetch_reminders(const std::vector<CalendarRef>& lists,
                                                   ReminderFetchCompletion completion) {
  NSArray<EKCalendar*>* searched = ek_calendars(lists);
  // No list of this store: no reminders (the platform could read no lists as all
  // of them). Answered at once; there is nothing to cancel.
  if (searched.count == 0) {
    if (completion) completion(std::vector<std::string>());
    return next_fetch_++;
  }
  NSPredicate* predicate =
      required([store_ predicateForRemindersInCalendars:searched], "predicateForRemindersInCalendars:");
  auto sending_end = std::make_shared<const ReminderFetchCompletion>(std::move(completion));
  // Runs on a platform thread. Reminder objects stay there: only each one's
  // identifier is read, and the main thread looks the reminders up again.
  id request = [store_ fetchRemindersMatchingPredicate:predicate
                                            completion:^(NSArray<EKReminder*>* _Nullable reminders) {
                                              if (!*sending_end) return;
                                              if (reminders == nil) {
                                                (*sending_end)(std::nullopt);
                                                return;
                                              }
                                              std::vector<std::string> identifiers;
                                              identifiers.reserve(reminders.count);
                                              for (EKReminder* reminder in reminders) {
                                                @autoreleasepool {
                                                  identifiers.push_back(text_of(required(
                                                      reminder.calendarItemIdentifier, "calendarItemIdentifier")));
                                                }
                                              }
                                              (*sending_end)(std::move(identifiers));
                                            }];
  FetchRequestId id = next_fetch_++;
  fetches_.emplace(id, required(request, "fetchRemindersMatchingPredicate:completion:"));
  return id;
}

void EventKitEventStore::cancel_fetch_request(FetchRequestId id) {
  auto found = fetches_.find(id);
  if (found == fetches_.end()) return;
  [store_ cancelFetchRequest:found->second];
  fetches_.erase(found);
}

Reminder EventKitEventStore::new_reminder() {
  EKReminder* reminder = required([EKReminder reminderWithEventStore:store_], "reminderWithEventStore:");
  return reminder_of(reminder, calendars_, *zones_, true);
}

result::Expected<result::Done, Error> EventKitEventStore::save_reminder(Reminder& reminder) {
  EKReminder* target = stored_reminder(reminder);
  if (target == nil) return Error{kForeignReminder};
  apply_changes(reminder, target, calendars_, *zones_);
  NSError* error = nil;
  if (![store_ saveReminder:target commit:YES error:&error]) {
    if (error != nil) return error_of(error, "saveReminder:commit:error:");
    // No and no error: the database found nothing to save, so the stored reminder
    // already is as asked and is read back as it is. A new reminder always has
    // something to save: that answer means it was not stored.
    if (reminder.is_new()) return Error{kNewReminderNotSaved};
  }
  // What was stored becomes the reminder's baseline, a new one's identifier included.
  reminder = reminder_of(target, calendars_, *zones_, false);
  return result::Done{};
}

result::Expected<result::Done, Error> EventKitEventStore::remove_reminder(const Reminder& reminder) {
  EKReminder* target = stored_reminder(reminder);
  if (target == nil) return Error{kForeignReminder};
  NSError* error = nil;
  if (![store_ removeReminder:target commit:YES error:&error]) return error_of(error, "removeReminder:commit:error:");
  return result::Done{};
}

}  // namespace platform::eventkit
