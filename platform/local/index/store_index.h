#pragma once

// The store's index, `.index.sqlite` in the root: for each item file, the version
// seen (device, inode, size, modification time) and what it holds: its kind, a
// reminder, its events in a compact form and the days they reach. A row counts only
// while its file's version matches. A database that is missing, damaged, of another
// schema, locked or not the user's own is remade or left aside; nothing here fails
// a command.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/local/events/reach.h"
#include "platform/local/files/sys_file.h"

struct sqlite3;

namespace platform::local {

// What a file's items are: events, reminders, or some of each.
enum class ItemKind : int { unknown = 0, event = 1, reminder = 2, other = 3, mixed = 4 };

struct IndexedFile {
  FileStamp stamp;  // the mode is not kept (it changes no content)
  ItemKind kind = ItemKind::unknown;
  std::string reminder;      // a file's one reminder (see packed_reminder); empty when not kept
  std::string event_digest;  // empty when not kept
  Reach reach;               // not kept for reminders; `kEveryDay` when not known
};

// Rows by file name (without ".ics"), in the order of the names' bytes.
using IndexedRows = std::vector<std::pair<std::string, IndexedFile>>;

// Whether a file listed with `stamp` is the version a row describes.
bool same_version(const FileStamp& listed, const FileStamp& indexed);

class StoreIndex {
 public:
  // Opens nothing: the database is opened on first use.
  explicit StoreIndex(std::string root);
  ~StoreIndex();
  StoreIndex(const StoreIndex&) = delete;
  StoreIndex& operator=(const StoreIndex&) = delete;

  // A folder's rows, without events or reach; none without a usable index. The one
  // call that makes a missing index.
  IndexedRows files_in(const std::string& folder);
  // The rows of the folder's files that reach `days`, with their events; nothing
  // when the index cannot tell.
  std::optional<IndexedRows> reaching(const std::string& folder, DayRange days);
  // Brings a folder's rows up to date in one short transaction.
  void update(const std::string& folder, const IndexedRows& changed, const std::vector<std::string>& vanished);

  std::string path() const { return root_ + "/.index.sqlite"; }

 private:
  // Opened (and created, when asked) on first use; null once it proved unusable.
  sqlite3* database(bool create);

  std::string root_;
  sqlite3* db_ = nullptr;
  bool given_up_ = false;
};

}  // namespace platform::local
