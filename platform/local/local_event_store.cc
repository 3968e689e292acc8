#include "platform/local/local_event_store.h"

#include "platform/local/access_record.h"
#include "platform/local/reminder_reader.h"

namespace platform::local {

LocalEventStore::LocalEventStore(std::string root, std::shared_ptr<RunLoopSignal> signal)
    : root_(std::move(root)), items_(root_), threads_(std::move(signal)) {}

LocalEventStore::~LocalEventStore() = default;

const std::vector<Collection>& LocalEventStore::collections() {
  if (!collections_) {
    auto read = read_collections(root_);
    collections_ = read.ok() ? std::move(read.value()) : std::vector<Collection>{};
  }
  return *collections_;
}

const Collection* LocalEventStore::collection_named(std::string_view folder) {
  for (const auto& collection : collections()) {
    if (collection.folder == folder) return &collection;
  }
  return nullptr;
}

const Reminder* LocalEventStore::reminder_of(const ParsedItemRef& item, const CalendarRef& calendar) {
  auto found = reminders_.find(item->identifier());
  if (found != reminders_.end()) return &found->second;
  ParsedItemRef tree = with_tree(item);
  if (!tree) return nullptr;
  // Once read, a reminder is saved from its text alone: libical's tree can go.
  ParsedItemRef kept = text_only(*item);
  Reminder reminder = reminder_from_item(*tree, kept, calendar);
  items_.keep_lighter(std::move(kept));
  return &reminders_.emplace(item->identifier(), std::move(reminder)).first->second;
}

std::vector<CalendarRef> LocalEventStore::calendars_for_entity_type(EntityType type) {
  std::vector<CalendarRef> calendars;
  for (const auto& collection : collections()) {
    bool serves = type == EntityType::event ? collection.serves_events : collection.serves_reminders;
    if (serves) calendars.push_back(collection.calendar);
  }
  return calendars;
}

}  // namespace platform::local
