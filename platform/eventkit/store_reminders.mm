// Reminders: the asynchronous fetch, new reminders, saves and removals.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/eventkit/eventkit_event_store.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"
#include "platform/eventkit/reminder_items.h"
#include "platform/write_answers.h"

namespace platform::eventkit {
namespace {

// Saves and removals of a reminder this store did not hand out.
constexpr const char* kForeignReminder = "提醒事项不属于当前的日历数据库";

// A save's or removal's answer: the flag, and the text of the error if there is one.
WriteAnswer write_answer(BOOL succeeded, NSError* _Nullable error) {
  WriteAnswer answer{succeeded != NO, std::nullopt};
  if (error != nil) answer.error_text = text_of(required(error.localizedDescription, "localizedDescription"));
  return answer;
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
  // Taken before the save commits them. A new reminder always has something to save.
  const bool had_changes = target.hasChanges != NO || reminder.is_new();
  NSError* error = nil;
  const BOOL saved = [store_ saveReminder:target commit:YES error:&error];
  auto answer = save_answer(write_answer(saved, error), had_changes);
  if (!answer.ok()) return answer;
  // What was stored becomes the reminder's baseline, a new one's identifier included.
  reminder = reminder_of(target, calendars_, *zones_, false);
  return result::Done{};
}

result::Expected<result::Done, Error> EventKitEventStore::remove_reminder(const Reminder& reminder) {
  EKReminder* target = stored_reminder(reminder);
  if (target == nil) return Error{kForeignReminder};
  NSError* error = nil;
  const BOOL removed = [store_ removeReminder:target commit:YES error:&error];
  return removal_answer(write_answer(removed, error));
}

}  // namespace platform::eventkit
