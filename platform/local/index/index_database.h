#pragma once

// The SQLite connection behind the store's index: opening, the schema and its
// version, rebuilding what cannot be read, and the statements on the item rows.
// Every call answers false on any failure; the caller then leaves the index aside.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/local/index/store_index.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::local {

class IndexDatabase {
 public:
  // Opens the database at `path` in WAL mode with a short busy timeout, making it
  // (when `create`) or remaking it when it is damaged or of another schema version.
  // Null when there is no usable database there.
  static std::unique_ptr<IndexDatabase> open(const std::string& path, bool create);
  ~IndexDatabase();

  // The folder's rows in the order of their names' bytes; digests `leave` turns down
  // are not copied.
  bool read_folder(const std::string& folder, IndexedRows& rows, const DigestLeft& leave);
  // One row's version and event digest (empty when it keeps none).
  std::optional<std::pair<FileStamp, std::string>> read_row_digest(const std::string& folder, const std::string& name);
  bool write(const std::string& folder, const IndexedRows& changed,
             const std::vector<std::string>& vanished);

 private:
  explicit IndexDatabase(sqlite3* db) : db_(db) {}
  sqlite3* db_;
  sqlite3_stmt* row_digest_ = nullptr;  // prepared at its first use
};

}  // namespace platform::local
