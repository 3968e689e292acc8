#pragma once

// What the store has read of the item files: each folder listed once, each file
// read and parsed at most once. Between processes only the index is kept.

#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

#include "platform/local/events/file_events.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/index/store_index.h"
#include "platform/local/reminders/reminder_row.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/files/for_each_index.h"
#include "platform/local/files/sys_file.h"
#include "platform/local/events/reach.h"

namespace platform::local {

class ItemCache {
 public:
  ItemCache(std::string root, uid_t owner);

  // The events of the folder's files that reach `days`, by file name: from the
  // index when it holds the file's version, else read now. Fails when the folder
  // cannot be listed.
  SysResult<std::vector<std::pair<std::string, FileEventsRef>>> events_in(const std::string& folder, DayRange days);
  // The reminders of the folder, by file name: a file's name, or "<name>/<UID>" for
  // each VTODO of a file holding several items. Fails when the folder cannot be listed.
  SysResult<std::vector<std::string>> reminder_names_in(const std::string& folder);
  // Keeps the rule steps a query walked anew, so the next process need not walk them.
  void keep_rule_steps(const std::string& folder);
  // Which kinds of item the folder's files hold.
  struct FolderKinds {
    bool events = false;
    bool reminders = false;
  };
  SysResult<FolderKinds> kinds_in(const std::string& folder);
  // The reminder as reminder_names_in last found it, or the store last wrote it;
  // null when there is none. `uid` names one item of a file holding several.
  ReminderRowRef known_reminder(const std::string& folder, const std::string& name,
                                const std::optional<std::string>& uid = std::nullopt);
  // One item; null when its file is missing or does not parse.
  ParsedItemRef item(const std::string& folder, const std::string& name);

  // The same version of a file in a lighter form (see text_only).
  void keep_lighter(ParsedItemRef item);
  // After the store wrote or removed a file.
  void remember(ParsedItemRef item);
  void forget(const std::string& folder, const std::string& name);

  std::string file_path(const std::string& folder, const std::string& name) const;

 private:
  // An item file: what the index holds of it and what this process read of it.
  struct Entry {
    explicit Entry(std::string name) : name(std::move(name)) {}

    std::string name;
    bool in_index = false;            // the index holds the listed version of the file
    bool row_changed = false;         // learnt something the index does not hold yet
    bool read = false;                // the file was read, whether or not that worked
    ItemKind kind = ItemKind::unknown;
    FileStamp stamp;                  // of the version read
    std::optional<Reach> reach;       // of a version read in this process, once someone asked
    std::string indexed_reminder;     // a reminder file's reminder as the index holds it, packed
    std::string event_digest;         // the file's events in the index's form, when known
    FileEventsRef events;             // once an event query needed them
    std::unique_ptr<FileContents> unparsed;  // read, not parsed yet
    ParsedItemRef parsed;                    // null when unreadable, unparseable or not parsed yet
    ReminderRowRef reminder;                 // a reminder file's reminder, read from it
    // A file of several items: each VTODO's reminder by its UID (not in the index).
    std::vector<std::pair<std::string, ReminderRowRef>> several;

    // Forgets what an earlier version held.
    void forget_contents() {
      reach.reset();
      indexed_reminder.clear();
      event_digest.clear();
      events.reset();
      kind = ItemKind::unknown;
    }
    // Its events were read anew: their digest and reach go to the index.
    void note_events(std::string digest) {
      event_digest = std::move(digest);
      reach = events_reach(*events);
      row_changed = true;
    }
    bool has_reminder() const { return reminder || !indexed_reminder.empty(); }
  };

  // A folder's entries in the order of their names' bytes.
  struct Folder {
    std::vector<Entry> entries;
    bool listed = false;
    std::size_t next_guess = 0;             // where the next lookup by name looks first
    std::vector<std::string> vanished;      // rows without a file, not yet dropped
  };
  static Entry* find_entry(Folder& in, const std::string& name);
  // The entry of a name; made at its place when there is none.
  static Entry& entry_at(Folder& in, const std::string& name);
  // The folder listed once, with the index's rows noted.
  SysResult<Folder*> listing(const std::string& folder);
  // The file read unless it was, then parsed unless its text shows it cannot reach
  // `days` (null then). Touches only the entry, so several run at once.
  ParsedItemRef load(Entry& entry, const std::string& folder, const DayRange* days = nullptr) const;

  // Writes the rows that changed, and drops those of files gone.
  void store_rows(const std::string& folder, Folder& listed);
  // The entry's events from its digest, else from its file; null when none.
  FileEventsRef events_of(Entry& entry, const std::string& folder) const;
  // Fills the entry's reminder, or its several reminders, from its file; false when
  // it holds none. The entry keeps only the file's text then.
  static bool read_reminders(Entry& entry, ParsedItemRef item);

  // Below this many files to parse, a second thread costs more than it saves.
  static constexpr WorkSplit kParsingSplit{256, 32};

  std::string root_;
  uid_t owner_;  // a linked item file is read only when it names a file of this user
  StoreIndex index_;
  std::unordered_map<std::string, Folder> folders_;  // by folder
};

}  // namespace platform::local
