#include "platform/local/index/store_index.h"


#include "platform/local/index/index_database.h"
#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

// A file changed again within the same tick of the file system's clock keeps its
// size and time: what was read of so young a file is not kept for the next process.
constexpr long long kSettledNs = 2'000'000'000LL;

IndexedFile settled(IndexedFile file) {
  if (wall_clock_ns() - file.stamp.modified_ns < kSettledNs) {
    file.reach.reset();
    file.kind = ItemKind::unknown;
    file.reminder.clear();
    file.event_digest.clear();
  }
  return file;
}

}  // namespace

bool same_version(const FileStamp& listed, const FileStamp& indexed) {
  return listed.device == indexed.device && listed.inode == indexed.inode && listed.size == indexed.size &&
         listed.modified_ns == indexed.modified_ns;
}

StoreIndex::StoreIndex(std::string root) : root_(std::move(root)) {}

StoreIndex::~StoreIndex() = default;

IndexDatabase* StoreIndex::database(bool create) {
  if (!database_ && !given_up_) {
    database_ = IndexDatabase::open(path(), create);
    // Without `create`, a missing index is tried again when a query may make it.
    if (!database_ && create) given_up_ = true;
  }
  return database_.get();
}

IndexedRows StoreIndex::files_in(const std::string& folder, const DigestLeft& leave) {
  IndexedRows rows;
  IndexDatabase* db = database(true);
  if (db && !db->read_folder(folder, rows, leave)) rows.clear();
  return rows;
}

std::optional<std::string> StoreIndex::event_digest(const std::string& folder, const std::string& name,
                                                    const FileStamp& stamp) {
  IndexDatabase* db = database(false);
  if (!db) return std::nullopt;
  auto row = db->read_row_digest(folder, name);
  if (!row || !same_version(stamp, row->first) || row->second.empty()) return std::nullopt;
  return std::move(row->second);
}

void StoreIndex::update(const std::string& folder, const IndexedRows& changed,
                        const std::vector<std::string>& vanished) {
  IndexDatabase* db = database(true);
  if (!db) return;
  IndexedRows rows;
  rows.reserve(changed.size());
  for (const auto& [name, file] : changed) rows.emplace_back(name, settled(file));
  db->write(folder, rows, vanished);
}

void StoreIndex::put(const std::string& folder, const std::string& name, const IndexedFile& file) {
  if (IndexDatabase* db = database(false)) db->write(folder, {{name, settled(file)}}, {});
}

void StoreIndex::erase(const std::string& folder, const std::string& name) {
  if (IndexDatabase* db = database(false)) db->write(folder, {}, {name});
}

}  // namespace platform::local
