#pragma once

// What one store object has read of the item files: each folder listed once, each
// file read and parsed once, kept for the life of the store. Between processes
// only the index is kept: a file whose listed version the index knows not to reach
// an event query's window is not even read. The store's own writes update both.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <string_view>
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
  explicit ItemCache(std::string root);

  // The events of a collection folder's files that reach `days`, by file name in
  // ascending order: for a file whose version the index holds with its events,
  // those; else as read from the file now (and then kept in the index). Files
  // without events or that do not parse are left out. Fails when the folder cannot
  // be listed.
  SysResult<std::vector<std::pair<std::string, FileEventsRef>>> events_in(const std::string& folder, DayRange days);
  // The reminders of a collection folder, by file name in ascending order: each file
  // holding a VTODO gives its name, and a file holding several items "<file name>/<UID>"
  // for each of its VTODO items. The index's row stands for a file whose version it
  // holds; other files are read now. Fails when the folder cannot be listed.
  SysResult<std::vector<std::string>> reminder_names_in(const std::string& folder);
  // After a query walked rules of the folder's events anew: their steps go into the
  // index with the events, so that the next process need not walk them.
  void keep_rule_steps(const std::string& folder);
  // Which kinds of item a collection folder's files hold: what the index knows of a
  // file's version, else what parsing it finds (and the index then keeps).
  struct FolderKinds {
    bool events = false;
    bool reminders = false;
  };
  SysResult<FolderKinds> kinds_in(const std::string& folder);
  // The reminder of an item as reminder_names_in last found it (or the store last
  // wrote it), its fields read now from the index's row when that is where it came
  // from; null when there is none, so that lookups right after a fetch see what it
  // saw. A row that does not read sends the cache to the file (and the row is
  // written anew). `uid` names one item of a file holding several.
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
  // What reading a file gave. Most entries of a large store are never read (the
  // index answers for them), so this lies apart from them.
  struct FileRead {
    std::unique_ptr<FileContents> unparsed;  // read, not parsed yet
    ParsedItemRef parsed;                    // null when unreadable, unparseable or not parsed yet
    ReminderRowRef reminder;                 // a reminder file's reminder
    // A file holding several items: each VTODO item's reminder by the UID its
    // identifier shows (never kept in the index).
    std::vector<std::pair<std::string, ReminderRowRef>> several;
  };
  // A file read (at most once) and, once someone needed it, parsed.
  struct Entry {
    bool in_index = false;            // the index holds the listed version of the file
    bool row_changed = false;         // learnt something the index does not hold yet
    ItemKind kind = ItemKind::unknown;
    FileStamp stamp;                  // of the version read
    std::optional<Reach> reach;       // of a version read in this process, once someone asked
    std::string indexed_reminder;     // a reminder file's reminder as the index holds it, packed
    std::string event_digest;         // the file's events in the index's form, when known
    FileEventsRef events;             // once an event query needed them
    std::unique_ptr<FileRead> file;   // once the file was read (whether or not that worked)

    bool read() const { return file != nullptr; }
    // The file's one reminder as read from it; null when not read or it holds none.
    const ReminderRowRef& reminder() const;
    // It holds one reminder, read from the file or kept by the index.
    bool has_reminder() const { return reminder() || !indexed_reminder.empty(); }
  };

  // A collection folder's entries by file name: the names sorted, each entry at its
  // name's place (a lookup is a binary search, and a pass over the folder touches
  // no map). Once listed, the names are the folder's item files, and any looked up
  // by name or written since.
  struct Folder {
    std::vector<std::string> names;
    std::vector<Entry> entries;
    bool listed = false;
  };
  // The entry of a name; made at its place when there is none.
  Entry& entry_at(Folder& in, const std::string& name);
  Entry& entry(const std::string& folder, const std::string& name);
  Entry* find_entry(const std::string& folder, const std::string& name);
  // The folder listed (once) with the index's rows for its files noted; entries made
  // before keep what they hold.
  SysResult<Folder*> listing(const std::string& folder);
  // `stamps`: the versions listed, beside the names.
  void attach_rows(const std::string& folder, Folder& listed, const std::vector<std::optional<FileStamp>>& stamps,
                   IndexedRows rows);
  // Reads the file into a fresh entry and parses it, unless `days` are given and its
  // text shows it cannot reach them; false then. Touches nothing but the entry, so
  // several run at once.
  bool load(Entry& entry, const std::string& folder, const std::string& name, const DayRange* days = nullptr) const;
  ParsedItemRef parsed(Entry& entry, const std::string& folder, const std::string& name) const;

  // Writes the rows of the listed files that changed, and drops those of files gone.
  void store_rows(const std::string& folder, Folder& listed);
  // The entry's events from its digest, else from its file (read already); null when
  // it has none.
  FileEventsRef events_of(Entry& entry, const std::string& folder, const std::string& name) const;
  // Fills the entry's reminder, or its several reminders, from its parsed file.
  static void read_reminders(Entry& entry, const ParsedItem& item);
  // The entry's row as the index keeps it (its reminder packed; empty when it has none
  // or none the index can hold).
  static IndexedFile indexed_file(const Entry& entry);
  // Reads the reminders of an entry's file (read already); false when it holds none.
  bool reminders_from_file(Entry& entry, const std::string& folder, const std::string& name);

  // Reading and parsing new files: below this many a second thread costs more than
  // it saves.
  static constexpr WorkSplit kParsingSplit{256, 32};

  std::string root_;
  uid_t owner_;  // a linked item file is read only when it names a file of this user
  StoreIndex index_;
  std::map<std::string, std::vector<std::string>> vanished_;  // folder → rows without a file
  std::unordered_map<std::string, Folder> folders_;  // by folder
};

}  // namespace platform::local
