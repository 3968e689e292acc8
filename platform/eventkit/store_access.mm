// Access requests: the completion block owns the bridge's completion (its
// sending end) and nothing else, so when the platform releases the block the
// completion goes with it.

#include <memory>
#include <optional>

#include "platform/eventkit/eventkit_event_store.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {
namespace {

EKEventStoreRequestAccessCompletionHandler handler_for(AccessCompletion completion) {
  auto sending_end = std::make_shared<const AccessCompletion>(std::move(completion));
  // Runs on a platform thread: it only hands over the flag and the error's text.
  return ^(BOOL granted, NSError* _Nullable error) {
    std::optional<Error> reported;
    if (error != nil) reported = Error{text_of(required(error.localizedDescription, "localizedDescription"))};
    if (*sending_end) (*sending_end)(granted, std::move(reported));
  };
}

}  // namespace

EventKitEventStore::EventKitEventStore(EKEventStore* store, std::shared_ptr<TimeZones> zones)
    : store_(store), zones_(std::move(zones)) {}

EKEntityType ek_entity_type(EntityType type) {
  return type == EntityType::event ? EKEntityTypeEvent : EKEntityTypeReminder;
}

bool EventKitEventStore::responds_to_full_access_request(EntityType type) const {
  SEL request = type == EntityType::event ? @selector(requestFullAccessToEventsWithCompletion:)
                                          : @selector(requestFullAccessToRemindersWithCompletion:);
  return [store_ respondsToSelector:request];
}

// Sent after responds_to_full_access_request said yes, which no system older
// than the one that brought these requests does; such a system gets the older request.
void EventKitEventStore::request_full_access(EntityType type, AccessCompletion completion) {
  if (@available(macOS 14.0, *)) {
    if (type == EntityType::event) {
      [store_ requestFullAccessToEventsWithCompletion:handler_for(std::move(completion))];
    } else {
      [store_ requestFullAccessToRemindersWithCompletion:handler_for(std::move(completion))];
    }
  } else {
    request_access(type, std::move(completion));
  }
}

// The request of systems without full-access requests; deprecated where those exist.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
void EventKitEventStore::request_access(EntityType type, AccessCompletion completion) {
  [store_ requestAccessToEntityType:ek_entity_type(type) completion:handler_for(std::move(completion))];
}
#pragma clang diagnostic pop

// Runs on the main thread, where the store is used, once the waiting command
// has taken the answer: the calendars read before belong to the old state.
void EventKitEventStore::reset() {
  [store_ reset];
  calendars_ = CalendarTable();
}

}  // namespace platform::eventkit
