#include "platform/local/index/store_index.h"

#include <sqlite3.h>

#include <cerrno>
#include <memory>

#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

// Raised whenever the rows change meaning: an index of another version is remade.
// 12: a reminder's fields packed without texts for its dates.
constexpr int kSchemaVersion = 12;
// Others hold the database for one short transaction; waiting longer costs more
// than reading the files.
constexpr int kBusyTimeoutMs = 200;
// A file changed twice within one tick of the file system's clock keeps its size
// and time, so what was read of so young a file is not kept.
constexpr long long kSettledNs = 2'000'000'000LL;

// Ranges up to this many days long are found by their first day; longer ones (mostly
// repeating events without end) are all looked at.
constexpr int kShortRangeDays = 31;

// Tables of an earlier version go first.
constexpr const char* kSchema =
    "DROP TABLE IF EXISTS items; DROP TABLE IF EXISTS reach;"
    "CREATE TABLE items(folder TEXT NOT NULL, name TEXT NOT NULL, device INTEGER NOT NULL,"
    " inode INTEGER NOT NULL, size INTEGER NOT NULL, modified_ns INTEGER NOT NULL, kind INTEGER NOT NULL,"
    // A file's one reminder, packed; a file's events in their compact form.
    " reminder BLOB, events BLOB, PRIMARY KEY(folder, name)) WITHOUT ROWID;"
    "CREATE TABLE reach(folder TEXT NOT NULL, long INTEGER NOT NULL, first_day INTEGER NOT NULL,"
    " name TEXT NOT NULL, last_day INTEGER NOT NULL, PRIMARY KEY(folder, long, first_day, name)) WITHOUT ROWID;"
    "CREATE INDEX reach_of_file ON reach(folder, name)";

constexpr const char* kSelectFolder =
    "SELECT name, device, inode, size, modified_ns, kind, reminder FROM items WHERE folder = ?1 ORDER BY name";
constexpr const char* kSelectReaching =
    "SELECT name, device, inode, size, modified_ns, kind, events FROM items WHERE folder = ?1 AND name IN"
    " (SELECT name FROM reach WHERE folder = ?1 AND long = 0 AND first_day BETWEEN ?2 - ?4 AND ?3 AND last_day >= ?2"
    " UNION ALL SELECT name FROM reach WHERE folder = ?1 AND long = 1 AND first_day <= ?3 AND last_day >= ?2)"
    " ORDER BY name";

struct StatementCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

// Null when the statement does not prepare: SQLite leaves no statement then.
Statement prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  return Statement(statement);
}

bool run(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool bind_text(sqlite3_stmt* statement, int column, const std::string& text) {
  return sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

bool bind_integers(sqlite3_stmt* statement, int first, std::initializer_list<sqlite3_int64> values) {
  for (sqlite3_int64 value : values) {
    if (sqlite3_bind_int64(statement, first++, value) != SQLITE_OK) return false;
  }
  return true;
}

// An empty blob binds as null (no bytes): nothing kept.
bool bind_blob(sqlite3_stmt* statement, int column, const std::string& bytes) {
  const char* kept = bytes.empty() ? nullptr : bytes.data();
  return sqlite3_bind_blob(statement, column, kept, static_cast<int>(bytes.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

// The rows a SELECT of name, device, inode, size, modified_ns, kind and one blob
// gives for the folder and the integers after it; nothing when it fails.
std::optional<IndexedRows> read_rows(sqlite3* db, const char* sql, const std::string& folder,
                                     std::initializer_list<sqlite3_int64> integers, std::string IndexedFile::*blob) {
  Statement statement = db ? prepare(db, sql) : nullptr;
  sqlite3_stmt* select = statement.get();
  if (!select || !bind_text(select, 1, folder) || !bind_integers(select, 2, integers)) return std::nullopt;
  IndexedRows rows;
  int code;
  while ((code = sqlite3_step(select)) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(select, 0);
    if (name == nullptr) continue;
    IndexedFile file;
    file.stamp.device = static_cast<dev_t>(sqlite3_column_int64(select, 1));
    file.stamp.inode = static_cast<ino_t>(sqlite3_column_int64(select, 2));
    file.stamp.size = static_cast<off_t>(sqlite3_column_int64(select, 3));
    file.stamp.modified_ns = sqlite3_column_int64(select, 4);
    int kind = sqlite3_column_int(select, 5);
    file.kind = kind >= 0 && kind <= static_cast<int>(ItemKind::mixed) ? static_cast<ItemKind>(kind) : ItemKind::unknown;
    if (const void* bytes = sqlite3_column_blob(select, 6)) {
      (file.*blob).assign(static_cast<const char*>(bytes), static_cast<std::size_t>(sqlite3_column_bytes(select, 6)));
    }
    rows.emplace_back(reinterpret_cast<const char*>(name), std::move(file));
  }
  if (code != SQLITE_DONE) return std::nullopt;
  return rows;
}

int schema_version(sqlite3* db) {
  Statement statement = prepare(db, "PRAGMA user_version");
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return -1;
  return sqlite3_column_int(statement.get(), 0);
}

// The tables made or remade in one transaction: another process sees all or nothing.
bool ensure_schema(sqlite3* db) {
  if (schema_version(db) == kSchemaVersion) return true;
  if (!run(db, "BEGIN IMMEDIATE")) return false;
  int version = schema_version(db);
  bool done = version == kSchemaVersion ||
              (version >= 0 && run(db, kSchema) &&
               run(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str()));
  if (done && run(db, "COMMIT")) return true;
  run(db, "ROLLBACK");
  return false;
}

// The database's files: SQLite would follow a link at any of them.
constexpr const char* kFileSuffixes[] = {"", "-wal", "-shm", "-journal"};

// A link, a file that is not regular, or another user's file at any of them leaves
// the store without an index, and the path untouched.
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
  if (!run(*db, "PRAGMA synchronous=NORMAL; PRAGMA cache_size=-256")) return sqlite3_errcode(*db);
  if (!ensure_schema(*db)) return sqlite3_errcode(*db) == SQLITE_OK ? SQLITE_ERROR : sqlite3_errcode(*db);
  return SQLITE_OK;
}

sqlite3* open_database(const std::string& path, bool create) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!own_files_or_none(path)) return nullptr;
    // The index holds every reminder's text: a missing one is made empty and private
    // first, since SQLite would follow the umask (and its -wal and -shm files the
    // database's mode).
    if (create) write_new_file(path, "", 0600);
    sqlite3* db = nullptr;
    int code = open_connection(path, create, &db);
    if (code == SQLITE_OK) return db;
    sqlite3_close_v2(db);
    // A damaged index is only a cache: it goes, with its journal, and is made anew once.
    if ((code != SQLITE_CORRUPT && code != SQLITE_NOTADB) || !create) return nullptr;
    for (const char* suffix : kFileSuffixes) remove_file(path + suffix);
  }
  return nullptr;
}

// What is kept of a file that changed within the last tick: its version alone.
IndexedFile settled(const IndexedFile& file) {
  if (wall_clock_ns() - file.stamp.modified_ns >= kSettledNs) return file;
  IndexedFile young;
  young.stamp = file.stamp;
  young.reach = {kEveryDay};
  return young;
}

}  // namespace

bool same_version(const FileStamp& listed, const FileStamp& indexed) {
  return listed.device == indexed.device && listed.inode == indexed.inode && listed.size == indexed.size &&
         listed.modified_ns == indexed.modified_ns;
}

StoreIndex::StoreIndex(std::string root) : root_(std::move(root)) {}

StoreIndex::~StoreIndex() { sqlite3_close_v2(db_); }

sqlite3* StoreIndex::database(bool create) {
  if (!db_ && !given_up_) {
    db_ = open_database(path(), create);
    // Without `create`, a missing index is tried again when a query may make it.
    if (!db_ && create) given_up_ = true;
  }
  return db_;
}

IndexedRows StoreIndex::files_in(const std::string& folder) {
  return read_rows(database(true), kSelectFolder, folder, {}, &IndexedFile::reminder).value_or(IndexedRows{});
}

std::optional<IndexedRows> StoreIndex::reaching(const std::string& folder, DayRange days) {
  return read_rows(database(false), kSelectReaching, folder, {days.first, days.last, kShortRangeDays},
                   &IndexedFile::event_digest);
}

void StoreIndex::update(const std::string& folder, const IndexedRows& changed,
                        const std::vector<std::string>& vanished) {
  if ((changed.empty() && vanished.empty()) || !database(false) || !run(db_, "BEGIN IMMEDIATE")) return;
  Statement upsert = prepare(db_,
                             "INSERT OR REPLACE INTO items(folder, name, device, inode, size, modified_ns, kind,"
                             " reminder, events) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
  Statement add_range =
      prepare(db_, "INSERT OR REPLACE INTO reach(folder, name, first_day, last_day, long) VALUES(?, ?, ?, ?, ?)");
  Statement remove_row = prepare(db_, "DELETE FROM items WHERE folder = ?1 AND name = ?2");
  Statement remove_reach = prepare(db_, "DELETE FROM reach WHERE folder = ?1 AND name = ?2");
  bool ok = upsert && add_range && remove_row && remove_reach;
  // Binds the folder, the name and the integers after them, steps, and resets.
  auto step = [&](const Statement& s, const std::string& name, std::initializer_list<sqlite3_int64> integers) {
    ok = ok && bind_text(s.get(), 1, folder) && bind_text(s.get(), 2, name) && bind_integers(s.get(), 3, integers) &&
         sqlite3_step(s.get()) == SQLITE_DONE;
    sqlite3_reset(s.get());
  };
  for (const auto& [name, given] : changed) {
    IndexedFile file = settled(given);
    ok = ok && bind_blob(upsert.get(), 8, file.reminder) && bind_blob(upsert.get(), 9, file.event_digest);
    step(upsert, name, {static_cast<sqlite3_int64>(file.stamp.device), static_cast<sqlite3_int64>(file.stamp.inode),
                        file.stamp.size, file.stamp.modified_ns, static_cast<int>(file.kind)});
    step(remove_reach, name, {});
    if (file.kind == ItemKind::reminder || file.kind == ItemKind::other) continue;
    for (DayRange range : file.reach) {
      step(add_range, name, {range.first, range.last, range.last - range.first > kShortRangeDays});
    }
  }
  for (const std::string& name : vanished) {
    step(remove_reach, name, {});
    step(remove_row, name, {});
  }
  // Each statement was reset after its step: none holds the transaction open.
  if (ok && run(db_, "COMMIT")) return;
  run(db_, "ROLLBACK");
}

}  // namespace platform::local
