#pragma once

// The store's index: `.index.sqlite` in the root remembers, for each item file of a
// collection, which version of the file it saw (device, inode, size, modification
// time in nanoseconds), what the window prefilter found in it, what kind of item it
// holds and, for a reminder, the reminder as read; for events, what a query needs of them. Files whose version matches a row
// need not be read to be left out of an event query nor to be listed as reminders.
// The files stay the only truth: a row counts only while its file's version matches.
// A database that is missing, damaged, of another schema, locked or cannot be
// written is rebuilt or left aside; nothing here ever fails a command.

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/local/files/sys_file.h"
#include "platform/local/events/window_prefilter.h"

namespace platform::local {

// What a file's items are: all events, all reminders, or some of each (a file
// holding several items).
enum class ItemKind : int { unknown = 0, event = 1, reminder = 2, other = 3, mixed = 4 };

// What a caller worked out of a row for the windows it asks about, kept with the
// row: before which instant, counted from `from`, the file has no occurrence.
struct QuietMemo {
  double from = std::numeric_limits<double>::quiet_NaN();
  double until = 0;
};

struct IndexedFile {
  FileStamp stamp;                  // the mode is not kept (it changes no content)
  std::optional<EventReach> reach;  // none when the file was not looked at for it
  ItemKind kind = ItemKind::unknown;
  std::string reminder;  // a file's one reminder, packed (see packed_columns); empty when not kept
                         // (or it holds several)
  std::string event_digest;  // the file's events (see event_digest.h); empty when not kept
  // Read rows only: the digest was left in the index, the reader having no use for
  // it (see DigestLeft), and what the reader worked out then.
  bool digest_left = false;
  QuietMemo quiet;
};

// Asked of each row of an event file with a digest as a folder is read: true when
// the caller has no use for the digest now, so that it is not copied out of the
// index. It may note in `row.quiet` what it learnt. Runs beside the caller's thread.
using DigestLeft = std::function<bool(IndexedFile& row, std::string_view event_digest)>;

// Rows by file name (without ".ics"), in the order of the names' bytes.
using IndexedRows = std::vector<std::pair<std::string, IndexedFile>>;

// Whether a file listed with `stamp` is the version a row describes.
bool same_version(const FileStamp& listed, const FileStamp& indexed);

class IndexDatabase;

class StoreIndex {
 public:
  // Opens nothing: the database is opened on first use.
  explicit StoreIndex(std::string root);
  ~StoreIndex();
  StoreIndex(const StoreIndex&) = delete;
  StoreIndex& operator=(const StoreIndex&) = delete;

  // The rows of a folder; none when there is no usable index.
  IndexedRows files_in(const std::string& folder, const DigestLeft& leave = nullptr);
  // The digest of one row a folder's read left in the index, while the row is of the
  // same version; nothing else.
  std::optional<std::string> event_digest(const std::string& folder, const std::string& name, const FileStamp& stamp);
  // Brings a folder's rows up to date in one short transaction.
  void update(const std::string& folder, const IndexedRows& changed,
              const std::vector<std::string>& vanished);
  // After the store itself wrote or removed a file. An index not yet made is left to
  // the next query.
  void put(const std::string& folder, const std::string& name, const IndexedFile& file);
  void erase(const std::string& folder, const std::string& name);

  std::string path() const { return root_ + "/.index.sqlite"; }

 private:
  // The open database, opening (and when asked creating) it on first use; null
  // once it has proved unusable.
  IndexDatabase* database(bool create);

  std::string root_;
  std::unique_ptr<IndexDatabase> database_;
  bool given_up_ = false;
};

}  // namespace platform::local
