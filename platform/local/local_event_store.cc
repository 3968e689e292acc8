#include "platform/local/local_event_store.h"

#include "platform/local/root/access_record.h"
#include "platform/local/root/store_root.h"
#include "platform/local/reminders/reminder_reader.h"

namespace platform::local {

LocalEventStore::LocalEventStore(std::string root, std::shared_ptr<RunLoopSignal> signal)
    : root_(std::move(root)), owner_(store_owner(root_)), items_(root_, owner_), threads_(std::move(signal)) {}

LocalEventStore::~LocalEventStore() = default;

std::vector<Collection>& LocalEventStore::collections() {
  if (!collections_) {
    auto read = read_collections(root_, owner_);
    collections_ = read.ok() ? std::move(read.value()) : std::vector<Collection>{};
  }
  return *collections_;
}

Collection* LocalEventStore::collection_named(std::string_view folder) {
  for (auto& collection : collections()) {
    if (collection.folder == folder) return &with_calendar(collection);
  }
  return nullptr;
}

Collection& LocalEventStore::with_calendar(Collection& collection) {
  if (!collection.calendar) collection.calendar = read_calendar(root_, collection.folder, owner_);
  return collection;
}

Collection& LocalEventStore::with_components(Collection& collection) {
  if (collection.components_known) return collection;
  auto kinds = items_.kinds_in(collection.folder);
  // Items of one kind only tell; an empty or mixed collection serves both.
  if (kinds.ok() && kinds.value().events != kinds.value().reminders) {
    collection.serves_events = kinds.value().events;
    collection.serves_reminders = kinds.value().reminders;
  }
  collection.components_known = true;
  return collection;
}

const Reminder* LocalEventStore::reminder_of(const ParsedItemRef& item, std::size_t part, const CalendarRef& calendar) {
  if (part >= item->parts.size()) return nullptr;
  std::string identifier = item->identifier_of(item->parts[part]);
  auto found = reminders_.find(identifier);
  if (found != reminders_.end()) return &found->second;
  ParsedItemRef tree = with_tree(item);
  if (!tree || part >= tree->parts.size()) return nullptr;
  // Once read, a reminder is saved from its text alone: libical's tree can go.
  ParsedItemRef kept = text_only(*item);
  Reminder reminder = reminder_from_item(*tree, tree->parts[part], kept, calendar);
  items_.keep_lighter(std::move(kept));
  return &reminders_.emplace(std::move(identifier), std::move(reminder)).first->second;
}

std::vector<CalendarRef> LocalEventStore::calendars_for_entity_type(EntityType type) {
  std::vector<CalendarRef> calendars;
  for (auto& collection : collections()) {
    with_components(collection);
    bool serves = type == EntityType::event ? collection.serves_events : collection.serves_reminders;
    if (serves) calendars.push_back(with_calendar(collection).calendar);
  }
  return calendars;
}

}  // namespace platform::local
