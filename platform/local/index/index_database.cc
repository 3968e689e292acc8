#include "platform/local/index/index_database.h"

#include <sqlite3.h>

#include <cerrno>

#include "platform/local/files/sys_file.h"

namespace platform::local {

namespace {

// Raised whenever the rows change meaning: an index of another version is remade.
// 9: a reminder's time in a zone its file defines keeps the offset read by every onset.
// 10: a file of several VCALENDAR objects holds their items (before: none).
constexpr int kSchemaVersion = 10;
// Other processes hold the database for one short transaction at most; waiting
// longer than this costs more than reading the files.
constexpr int kBusyTimeoutMs = 200;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS items("
    "folder TEXT NOT NULL, name TEXT NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,"
    "size INTEGER NOT NULL, modified_ns INTEGER NOT NULL, reach INTEGER NOT NULL,"
    "first_day INTEGER NOT NULL, last_day INTEGER NOT NULL, kind INTEGER NOT NULL,"
    // A file's one reminder, its columns packed (see packed_columns); null when not kept.
    "reminder BLOB,"
    // A file's events in their compact form; null when not kept.
    "events BLOB,"
    "PRIMARY KEY(folder, name)) WITHOUT ROWID";

constexpr const char* kColumns =
    "name, device, inode, size, modified_ns, reach, first_day, last_day, kind,"
    " reminder, events";
constexpr int kReminderColumn = 9;  // counted from 0 in the SELECT
constexpr int kEventsColumn = 10;

// What a row's reach column says.
enum ReachColumn { kNotLookedAt = 0, kUnbounded = 1, kBounded = 2 };

struct StatementCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

Statement prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return Statement(statement);
}

bool run(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool bind_text(sqlite3_stmt* statement, int column, const std::string& text) {
  return sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

// An empty blob binds as null: nothing kept.
bool bind_blob(sqlite3_stmt* statement, int column, const std::string& bytes) {
  if (bytes.empty()) return sqlite3_bind_null(statement, column) == SQLITE_OK;
  return sqlite3_bind_blob(statement, column, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) ==
         SQLITE_OK;
}

// The bytes where SQLite holds them, valid until the row moves on.
std::string_view blob_view(sqlite3_stmt* row, int column) {
  const void* bytes = sqlite3_column_blob(row, column);
  if (bytes == nullptr) return {};
  return std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
}

std::string blob_column(sqlite3_stmt* row, int column) { return std::string(blob_view(row, column)); }

// A file's version from four columns in the order device, inode, size, modified_ns.
FileStamp stamp_columns(sqlite3_stmt* row, int first) {
  FileStamp stamp;
  stamp.device = static_cast<dev_t>(sqlite3_column_int64(row, first));
  stamp.inode = static_cast<ino_t>(sqlite3_column_int64(row, first + 1));
  stamp.size = static_cast<off_t>(sqlite3_column_int64(row, first + 2));
  stamp.modified_ns = sqlite3_column_int64(row, first + 3);
  return stamp;
}

ItemKind kind_of(int column) {
  return column >= 0 && column <= static_cast<int>(ItemKind::mixed) ? static_cast<ItemKind>(column) : ItemKind::unknown;
}

int schema_version(sqlite3* db) {
  Statement statement = prepare(db, "PRAGMA user_version");
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return -1;
  return sqlite3_column_int(statement.get(), 0);
}

// The items table of this version, made or remade in one transaction so that a
// process starting at the same time sees either nothing or the finished schema.
bool ensure_schema(sqlite3* db) {
  if (schema_version(db) == kSchemaVersion) return true;
  if (!run(db, "BEGIN IMMEDIATE")) return false;
  int version = schema_version(db);
  bool done = version == kSchemaVersion ||
              (version >= 0 && run(db, "DROP TABLE IF EXISTS items") && run(db, kSchema) &&
               run(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str()));
  if (done && run(db, "COMMIT")) return true;
  run(db, "ROLLBACK");
  return false;
}

bool is_damaged(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

// Each file of the database: SQLite follows a link at any of them and writes where
// it leads.
constexpr const char* kFileSuffixes[] = {"", "-wal", "-shm", "-journal"};

// The index is the store's own file, and so are SQLite's files beside it: a link,
// anything but a regular file, or a file of another user at one of their paths
// leaves the store without an index, and that path as it is.
bool own_files_or_none(const std::string& path) {
  uid_t user = effective_user_id();
  for (const char* suffix : kFileSuffixes) {
    auto st = link_stat_path(path + suffix);
    if (!st.ok() && st.error().code == ENOENT) continue;
    if (!st.ok() || !S_ISREG(st.value().st_mode) || st.value().st_uid != user) return false;
  }
  return true;
}

// Opens and prepares the connection; the failing SQLite code, else SQLITE_OK.
int open_connection(const std::string& path, bool create, sqlite3** db) {
  // A link put at the path after it was looked at is refused all the same.
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | (create ? SQLITE_OPEN_CREATE : 0);
  int code = sqlite3_open_v2(path.c_str(), db, flags, nullptr);
  if (code != SQLITE_OK) return code;
  sqlite3_extended_result_codes(*db, 0);
  sqlite3_busy_timeout(*db, kBusyTimeoutMs);
  Statement wal = prepare(*db, "PRAGMA journal_mode=WAL");
  if (!wal) return sqlite3_errcode(*db);
  code = sqlite3_step(wal.get());
  if (code != SQLITE_ROW) return code;
  if (std::string(reinterpret_cast<const char*>(sqlite3_column_text(wal.get(), 0))) != "wal") return SQLITE_ERROR;
  wal.reset();
  if (!run(*db, "PRAGMA synchronous=NORMAL")) return sqlite3_errcode(*db);
  if (!run(*db, "PRAGMA cache_size=-256")) return sqlite3_errcode(*db);
  if (!ensure_schema(*db)) return sqlite3_errcode(*db) == SQLITE_OK ? SQLITE_ERROR : sqlite3_errcode(*db);
  return SQLITE_OK;
}

}  // namespace

std::unique_ptr<IndexDatabase> IndexDatabase::open(const std::string& path, bool create) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!own_files_or_none(path)) return nullptr;
    // The index holds every reminder's text. SQLite would create it readable by
    // whom the umask lets in, and gives its -wal and -shm files the database's
    // mode, so a missing index is made empty and private first (an empty file is
    // an empty database). One that exists keeps its mode.
    if (create) write_new_file(path, "", 0600);
    sqlite3* db = nullptr;
    int code = open_connection(path, create, &db);
    if (code == SQLITE_OK) return std::unique_ptr<IndexDatabase>(new IndexDatabase(db));
    sqlite3_close_v2(db);
    // A damaged file is only a cache of the files: it goes, with its journal, and
    // is made anew once.
    if (!is_damaged(code) || !create) return nullptr;
    for (const char* suffix : kFileSuffixes) remove_file(path + suffix);
  }
  return nullptr;
}

IndexDatabase::~IndexDatabase() {
  sqlite3_finalize(row_digest_);
  sqlite3_close_v2(db_);
}

std::optional<std::pair<FileStamp, std::string>> IndexDatabase::read_row_digest(const std::string& folder,
                                                                               const std::string& name) {
  if (!row_digest_ &&
      sqlite3_prepare_v2(db_, "SELECT device, inode, size, modified_ns, events FROM items WHERE folder = ? AND name = ?",
                         -1, &row_digest_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(row_digest_);
    row_digest_ = nullptr;
    return std::nullopt;
  }
  sqlite3_stmt* row = row_digest_;
  std::optional<std::pair<FileStamp, std::string>> found;
  if (bind_text(row, 1, folder) && bind_text(row, 2, name) && sqlite3_step(row) == SQLITE_ROW) {
    found.emplace(stamp_columns(row, 0), blob_column(row, 4));
  }
  sqlite3_reset(row);
  sqlite3_clear_bindings(row);
  return found;
}

bool IndexDatabase::read_folder(const std::string& folder, IndexedRows& rows, const DigestLeft& leave) {
  Statement select =
      prepare(db_, (std::string("SELECT ") + kColumns + " FROM items WHERE folder = ? ORDER BY name").c_str());
  if (!select || !bind_text(select.get(), 1, folder)) return false;
  int code;
  while ((code = sqlite3_step(select.get())) == SQLITE_ROW) {
    sqlite3_stmt* row = select.get();
    const unsigned char* name = sqlite3_column_text(row, 0);
    if (name == nullptr) continue;
    IndexedFile file;
    file.stamp = stamp_columns(row, 1);
    int reach = sqlite3_column_int(row, 5);
    if (reach == kUnbounded) file.reach = EventReach{};
    if (reach == kBounded) file.reach = EventReach{true, sqlite3_column_int64(row, 6), sqlite3_column_int64(row, 7)};
    file.kind = kind_of(sqlite3_column_int(row, 8));
    if (file.kind == ItemKind::event && leave) {
      // Looked at where SQLite holds it; copied only when the caller has a use for it.
      std::string_view digest = blob_view(row, kEventsColumn);
      file.digest_left = !digest.empty() && leave(file, digest);
      if (!file.digest_left) file.event_digest = digest;
    } else if (file.kind == ItemKind::event || file.kind == ItemKind::mixed) {
      file.event_digest = blob_column(row, kEventsColumn);
    }
    // A reminder that does not read sends the store to the file when it is looked up.
    if (file.kind == ItemKind::reminder) file.reminder = blob_column(row, kReminderColumn);
    rows.emplace_back(reinterpret_cast<const char*>(name), std::move(file));
  }
  return code == SQLITE_DONE;
}

bool IndexDatabase::write(const std::string& folder, const IndexedRows& changed,
                          const std::vector<std::string>& vanished) {
  if (changed.empty() && vanished.empty()) return true;
  if (!run(db_, "BEGIN IMMEDIATE")) return false;
  Statement upsert = prepare(db_, (std::string("INSERT OR REPLACE INTO items(folder, ") + kColumns +
                                  ") VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                     .c_str());
  Statement remove = prepare(db_, "DELETE FROM items WHERE folder = ? AND name = ?");
  bool ok = upsert && remove;
  for (const auto& [name, file] : changed) {
    if (!ok) break;
    sqlite3_stmt* s = upsert.get();
    int reach = !file.reach ? kNotLookedAt : file.reach->bounded ? kBounded : kUnbounded;
    ok = bind_text(s, 1, folder) && bind_text(s, 2, name) &&
         sqlite3_bind_int64(s, 3, static_cast<sqlite3_int64>(file.stamp.device)) == SQLITE_OK &&
         sqlite3_bind_int64(s, 4, static_cast<sqlite3_int64>(file.stamp.inode)) == SQLITE_OK &&
         sqlite3_bind_int64(s, 5, file.stamp.size) == SQLITE_OK &&
         sqlite3_bind_int64(s, 6, file.stamp.modified_ns) == SQLITE_OK && sqlite3_bind_int(s, 7, reach) == SQLITE_OK &&
         sqlite3_bind_int64(s, 8, file.reach ? file.reach->first_day : 0) == SQLITE_OK &&
         sqlite3_bind_int64(s, 9, file.reach ? file.reach->last_day : 0) == SQLITE_OK &&
         sqlite3_bind_int(s, 10, static_cast<int>(file.kind)) == SQLITE_OK && bind_blob(s, 11, file.reminder) &&
         bind_blob(s, 12, file.event_digest) && sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
  }
  for (const std::string& name : vanished) {
    if (!ok) break;
    sqlite3_stmt* s = remove.get();
    ok = bind_text(s, 1, folder) && bind_text(s, 2, name) && sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
  }
  upsert.reset();
  remove.reset();
  if (ok && run(db_, "COMMIT")) return true;
  run(db_, "ROLLBACK");
  return false;
}

}  // namespace platform::local
