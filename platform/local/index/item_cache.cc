#include "platform/local/index/item_cache.h"

#include "platform/local/index/event_digest.h"
#include "platform/local/index/packed_reminder.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/root/store_root.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace platform::local {

namespace {

ItemKind kind_of_item(const ParsedItem& item) {
  bool events = false, reminders = false;
  for (const ItemPart& part : item.parts) {
    events = events || part.kind == ICAL_VEVENT_COMPONENT;
    reminders = reminders || part.kind == ICAL_VTODO_COMPONENT;
  }
  if (events && reminders) return ItemKind::mixed;
  return events ? ItemKind::event : reminders ? ItemKind::reminder : ItemKind::other;
}

}  // namespace

ItemCache::ItemCache(std::string root, uid_t owner) : root_(root), owner_(owner), index_(std::move(root)) {
  // libical reports problems through its error state; it must never abort us.
  icalerror_set_errors_are_fatal(0);
}

std::string ItemCache::file_path(const std::string& folder, const std::string& name) const {
  return root_ + "/" + folder + "/" + name + ".ics";
}

SysResult<ItemCache::Folder*> ItemCache::listing(const std::string& folder) {
  Folder& known = folders_[folder];
  if (known.listed) return &known;
  // The folder's rows are read while the folder is listed: neither waits on the other.
  IndexedRows rows;
  std::thread reader;
  try {
    reader = std::thread([&] { rows = index_.files_in(folder); });
  } catch (const std::system_error&) {
    rows = index_.files_in(folder);
  }
  auto entries = list_directory(root_ + "/" + folder, true);
  if (reader.joinable()) reader.join();
  if (!entries.ok()) return entries.error();
  // Sorted by pointer: a directory entry is large to move.
  std::vector<DirEntry*> files;
  for (DirEntry& file : entries.value()) {
    if (file.kind != EntryKind::regular || !is_item_file_name(file.name)) continue;
    file.name.resize(file.name.size() - 4);
    files.push_back(&file);
  }
  std::sort(files.begin(), files.end(), [](const DirEntry* a, const DirEntry* b) { return a->name < b->name; });
  // Entries made before (items looked up by name, files written) keep what they
  // hold. Rows and names are both in the order of the names' bytes.
  Folder listed;
  listed.listed = true;
  listed.entries.reserve(files.size());
  auto row = rows.begin();
  for (DirEntry* file : files) {
    Entry& entry = listed.entries.emplace_back(std::move(file->name));
    if (Entry* made = find_entry(known, entry.name)) std::swap(entry, *made);
    for (; row != rows.end() && row->first < entry.name; ++row) listed.vanished.push_back(std::move(row->first));
    if (row == rows.end() || row->first != entry.name) continue;
    IndexedFile& indexed = (row++)->second;
    if (!entry.read && file->stamp && same_version(*file->stamp, indexed.stamp)) {
      entry.in_index = true;
      entry.stamp = *file->stamp;
      entry.kind = indexed.kind;
      // Only a reminder file's row keeps a reminder to read.
      if (indexed.kind == ItemKind::reminder) entry.indexed_reminder = std::move(indexed.reminder);
    }
  }
  for (; row != rows.end(); ++row) listed.vanished.push_back(std::move(row->first));
  known = std::move(listed);
  return &known;
}

SysResult<std::vector<std::pair<std::string, FileEventsRef>>> ItemCache::events_in(const std::string& folder,
                                                                                   DayRange days) {
  auto listed = listing(folder);
  if (!listed.ok()) return listed.error();
  std::vector<Entry>& entries = listed.value()->entries;
  // The index answers for the versions it holds: the files that reach the days, with
  // their events. A file it holds no longer, or cannot answer for, is read.
  std::vector<char> reached(entries.size(), 0);
  std::optional<IndexedRows> rows = index_.reaching(folder, days);
  IndexedRows none;
  std::size_t i = 0;
  for (auto& [name, row] : rows ? *rows : none) {
    while (i < entries.size() && entries[i].name < name) ++i;
    if (i == entries.size() || entries[i].name != name) continue;
    Entry& known = entries[i];
    reached[i] = 1;
    if (!known.in_index || !same_version(known.stamp, row.stamp)) {
      known.in_index = false;
    } else if (!known.events && known.event_digest.empty()) {
      known.event_digest = std::move(row.event_digest);
    }
  }
  std::vector<Entry*> fresh;
  for (i = 0; i < entries.size(); ++i) {
    Entry& known = entries[i];
    if (rows && known.in_index && !known.read && !reached[i]) continue;
    reached[i] = 1;
    if (!known.read && !known.events && known.event_digest.empty()) fresh.push_back(&known);
  }
  // Reading and parsing new files is most of a query on a new store: it runs on
  // every core. libical keeps its error and buffer state per thread.
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) { load(*fresh[k], folder, &days); });

  std::vector<std::pair<std::string, FileEventsRef>> found;
  for (i = 0; i < entries.size(); ++i) {
    // A file read in this process is passed over when its reach misses the days.
    Entry& known = entries[i];
    if (!reached[i] || (known.reach && !reaches(*known.reach, days))) continue;
    if (FileEventsRef events = events_of(known, folder)) found.emplace_back(known.name, std::move(events));
  }
  store_rows(folder, *listed.value());
  return found;
}

void ItemCache::keep_rule_steps(const std::string& folder) {
  Folder& listed = folders_[folder];
  if (!listed.listed) return;
  for (Entry& entry : listed.entries) {
    // A file that also holds reminders keeps its row as the reminder side left it.
    if (!entry.events || !entry.events->rule_steps_changed || entry.kind != ItemKind::event) continue;
    entry.events->rule_steps_changed = false;
    if (auto digest = event_digest_of(*entry.events)) entry.note_events(std::move(*digest));
  }
  store_rows(folder, listed);
}

FileEventsRef ItemCache::events_of(Entry& entry, const std::string& folder) const {
  if (entry.events) return entry.events;
  if (!entry.read && !entry.event_digest.empty()) {
    if (auto events = events_from_digest(entry.event_digest)) {
      return entry.events = std::make_shared<const FileEvents>(std::move(*events));
    }
    // A digest that does not read sends the store back to the file.
    entry.event_digest.clear();
  }
  ParsedItemRef item = load(entry, folder);
  if (!item || (entry.kind != ItemKind::event && entry.kind != ItemKind::mixed)) return nullptr;
  // A file whose reminder was read keeps only its text: its events need the tree again.
  if (!(item = with_tree(std::move(item)))) return nullptr;
  entry.events = std::make_shared<const FileEvents>(read_file_events(item->root.get(), item->text));
  entry.note_events(event_digest_of(*entry.events).value_or(""));
  return entry.events;
}

// One transaction for all the folder's news: rows of files read anew, rows of files gone.
void ItemCache::store_rows(const std::string& folder, Folder& listed) {
  IndexedRows changed;
  for (Entry& entry : listed.entries) {
    if (!entry.row_changed) continue;
    entry.row_changed = false;
    std::string reminder = entry.reminder ? packed_reminder(*entry.reminder).value_or("") : entry.indexed_reminder;
    changed.push_back({entry.name, {entry.stamp, entry.kind, std::move(reminder), entry.event_digest,
                                    entry.reach.value_or(Reach{kEveryDay})}});
  }
  index_.update(folder, changed, std::exchange(listed.vanished, {}));
}

SysResult<ItemCache::FolderKinds> ItemCache::kinds_in(const std::string& folder) {
  auto listed = listing(folder);
  if (!listed.ok()) return listed.error();
  FolderKinds kinds;
  auto note = [&](ItemKind kind) {
    kinds.events = kinds.events || kind == ItemKind::event || kind == ItemKind::mixed;
    kinds.reminders = kinds.reminders || kind == ItemKind::reminder || kind == ItemKind::mixed;
  };
  std::vector<Entry*> fresh;
  for (Entry& entry : listed.value()->entries) {
    note(entry.kind);
    if (entry.kind == ItemKind::unknown) fresh.push_back(&entry);
  }
  // Once both kinds are known to be there, the rest cannot change the answer.
  if (kinds.events && kinds.reminders) return kinds;
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) { load(*fresh[k], folder); });
  for (Entry* entry : fresh) {
    // A file that does not read is no item.
    if (entry->kind == ItemKind::unknown) entry->kind = ItemKind::other;
    note(entry->kind);
  }
  store_rows(folder, *listed.value());
  return kinds;
}

ItemCache::Entry* ItemCache::find_entry(Folder& in, const std::string& name) {
  // Lookups after a listing come in the listing's order: the next name first.
  std::size_t place = in.next_guess;
  if (place >= in.entries.size() || in.entries[place].name != name) {
    auto at = std::ranges::lower_bound(in.entries, name, {}, &Entry::name);
    if (at == in.entries.end() || at->name != name) return nullptr;
    place = static_cast<std::size_t>(at - in.entries.begin());
  }
  in.next_guess = place + 1;
  return &in.entries[place];
}

ItemCache::Entry& ItemCache::entry_at(Folder& in, const std::string& name) {
  if (Entry* known = find_entry(in, name)) return *known;
  return *in.entries.insert(std::ranges::lower_bound(in.entries, name, {}, &Entry::name), Entry{name});
}

ParsedItemRef ItemCache::item(const std::string& folder, const std::string& name) {
  return load(entry_at(folders_[folder], name), folder);
}

ParsedItemRef ItemCache::load(Entry& entry, const std::string& folder, const DayRange* days) const {
  if (!entry.read) {
    entry.read = true;
    auto contents = read_file_linked_to_owner(file_path(folder, entry.name), kLargestItemBytes, owner_);
    if (!contents.ok()) return nullptr;
    // What the index said holds only for the version it listed.
    bool indexed_version = entry.in_index && same_version(contents.value().stamp, entry.stamp);
    if (!indexed_version) entry.forget_contents();
    entry.row_changed = !indexed_version;
    entry.stamp = contents.value().stamp;
    entry.unparsed = std::make_unique<FileContents>(std::move(contents.value()));
    if (days) {
      // A look at the lines, before the parser: a file that cannot reach the days
      // waits unparsed, and the index keeps what the look found.
      if (!entry.reach) entry.reach = text_reach(entry.unparsed->bytes);
      entry.row_changed = true;
      if (!reaches(*entry.reach, *days)) return nullptr;
    }
  }
  if (!entry.unparsed) return entry.parsed;
  FileContents contents = std::move(*entry.unparsed);
  entry.unparsed.reset();
  auto item = parse_item_text(std::move(contents.bytes));
  ItemKind kind = item ? kind_of_item(*item) : ItemKind::other;
  // What the index did not know yet goes to it with the folder's next rows.
  if (entry.kind != kind) entry.row_changed = true;
  entry.kind = kind;
  if (!item) return nullptr;
  item->folder = folder;
  item->name = entry.name;
  item->stamp = contents.stamp;
  return entry.parsed = std::make_shared<const ParsedItem>(std::move(*item));
}

void ItemCache::keep_lighter(ParsedItemRef item) {
  entry_at(folders_[item->folder], item->name).parsed = std::move(item);
}

void ItemCache::remember(ParsedItemRef item) {
  Folder& in = folders_[item->folder];
  Entry& stored = entry_at(in, item->name);
  // Its events are read again by the next event query that needs them.
  stored.forget_contents();
  stored.read = true;
  stored.unparsed.reset();
  stored.stamp = item->stamp;
  stored.kind = kind_of_item(*item);
  read_reminders(stored, item);
  stored.row_changed = true;
  store_rows(item->folder, in);
  stored.parsed = std::move(item);
}

void ItemCache::forget(const std::string& folder, const std::string& name) {
  Folder& in = folders_[folder];
  if (Entry* known = find_entry(in, name)) in.entries.erase(in.entries.begin() + (known - in.entries.data()));
  index_.update(folder, {}, {name});
}

}  // namespace platform::local
