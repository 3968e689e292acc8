#pragma once

// One opened local calendar store: the EventStore of the Linux platform.

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/event_store.h"
#include "platform/local/callbacks/callback_threads.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/root/collections.h"
#include "platform/local/index/item_cache.h"
#include "platform/local/callbacks/run_loop_signal.h"

namespace platform::local {

class LocalEventStore : public EventStore {
 public:
  LocalEventStore(std::string root, std::shared_ptr<RunLoopSignal> signal);
  ~LocalEventStore() override;

  bool responds_to_full_access_request(EntityType type) const override;
  void request_full_access(EntityType type, AccessCompletion completion) override;
  void request_access(EntityType type, AccessCompletion completion) override;

  std::vector<CalendarRef> calendars_for_entity_type(EntityType type) override;
  std::vector<Event> events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) override;
  std::vector<Event> first_events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars,
                                           std::size_t limit) override;

  FetchRequestId fetch_reminders(const std::vector<CalendarRef>& lists, ReminderFetchCompletion completion) override;
  void cancel_fetch_request(FetchRequestId id) override;

  std::optional<CalendarItem> calendar_item_with_identifier(std::string_view identifier) override;

  Reminder new_reminder() override;
  Expected<Done, Error> save_reminder(Reminder& reminder) override;
  Expected<Done, Error> remove_reminder(const Reminder& reminder) override;

 private:
  // The collections as this store first read them (each metadata file read once).
  std::vector<Collection>& collections();
  // The collection with its calendar read.
  Collection* collection_named(std::string_view folder);
  Collection& with_calendar(Collection& collection);
  // The collection with the kinds it serves known (told by its items when it has no
  // `components` file).
  Collection& with_components(Collection& collection);
  // An error when the collection is not the store's or its folder may not be written.
  Expected<Done, Error> check_writable(const std::string& folder);
  // Saves a reminder into another list: a new file there made by `edit` from the
  // old one's version, which then goes, while it is still that version.
  Expected<FileStamp, Error> move_reminder_file(const ItemName& source, const std::string& target_folder,
                                                FileContents current, const Rewrite& edit);
  // The reminder of a parsed file's VTODO item (its parts[part]), converted once per store.
  const Reminder* reminder_of(const ParsedItemRef& item, std::size_t part, const CalendarRef& calendar);
  // The first `limit` events of the window, in order of start, then of identifier.
  std::vector<Event> first_in_window(Date start, Date end, const std::vector<CalendarRef>& calendars,
                                     std::size_t limit);

  std::string root_;
  uid_t owner_;  // a linked file is read only when it names a file of this user
  std::optional<std::vector<Collection>> collections_;
  ItemCache items_;
  std::map<std::string, Reminder> reminders_;  // by identifier, as reminder_of made them
  // Access requests the person never answers ("ignore"): held until the store goes.
  std::vector<AccessCompletion> unanswered_;
  // Per fetch, set by cancel_fetch_request and read by the thread that answers.
  std::map<FetchRequestId, std::shared_ptr<std::atomic<bool>>> fetch_cancelled_;
  FetchRequestId next_fetch_ = 1;
  // Last, so its threads are joined before anything they might reach goes away.
  CallbackThreads threads_;
};

}  // namespace platform::local
