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

ItemCache::ItemCache(std::string root) : root_(root), owner_(store_owner(root_)), index_(std::move(root)) {
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
  std::vector<std::pair<std::string, std::optional<FileStamp>>> files;
  for (auto& entry : entries.value()) {
    if (entry.kind != EntryKind::regular || !is_item_file_name(entry.name)) continue;
    entry.name.resize(entry.name.size() - 4);
    files.emplace_back(std::move(entry.name), entry.stamp);
  }
  entries.value().clear();
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  // Entries made before (items looked up by name, files written) keep what they
  // hold. Rows and names are both in the order of the names' bytes.
  Folder listed;
  listed.listed = true;
  listed.names.reserve(files.size());
  listed.entries.reserve(files.size());
  std::vector<std::string>& vanished = vanished_[folder];
  std::size_t before = 0, row = 0;
  for (auto& [name, stamp] : files) {
    while (before < known.names.size() && known.names[before] < name) ++before;
    bool made = before < known.names.size() && known.names[before] == name;
    Entry& entry = listed.entries.emplace_back(made ? std::move(known.entries[before]) : Entry());
    for (; row < rows.size() && rows[row].first < name; ++row) vanished.push_back(std::move(rows[row].first));
    if (row < rows.size() && rows[row].first == name) {
      IndexedFile& file = rows[row++].second;
      if (!entry.read() && stamp && same_version(*stamp, file.stamp)) {
        entry.in_index = true;
        entry.stamp = *stamp;
        entry.kind = file.kind;
        entry.indexed_reminder = std::move(file.reminder);
      }
    }
    listed.names.push_back(std::move(name));
  }
  for (; row < rows.size(); ++row) vanished.push_back(std::move(rows[row].first));
  known = std::move(listed);
  return &known;
}

SysResult<std::vector<std::pair<std::string, FileEventsRef>>> ItemCache::events_in(const std::string& folder,
                                                                                   DayRange days) {
  auto listed = listing(folder);
  if (!listed.ok()) return listed.error();
  const std::vector<std::string>& names = listed.value()->names;
  std::vector<Entry>& entries = listed.value()->entries;
  // The index answers for the versions it holds: the files that reach the days, with
  // their events. A file it holds no longer, or cannot answer for, is read.
  std::vector<char> reached(names.size(), 0);
  std::optional<IndexedRows> rows = index_.reaching(folder, days);
  IndexedRows none;
  std::size_t i = 0;
  for (auto& [name, row] : rows ? *rows : none) {
    while (i < names.size() && names[i] < name) ++i;
    if (i == names.size() || names[i] != name) continue;
    Entry& known = entries[i];
    reached[i] = 1;
    if (!known.in_index || !same_version(known.stamp, row.stamp)) {
      known.in_index = false;
    } else if (!known.events && known.event_digest.empty()) {
      known.event_digest = std::move(row.event_digest);
    }
  }
  std::vector<std::size_t> fresh;
  for (i = 0; i < names.size(); ++i) {
    Entry& known = entries[i];
    bool answered = rows && known.in_index && !known.read();
    if (answered ? !reached[i] : known.reach && !reaches(*known.reach, days)) continue;
    reached[i] = 1;
    if (!known.read() && !known.events && known.event_digest.empty()) fresh.push_back(i);
  }
  // Reading and parsing new files is most of a query on a new store: it runs on
  // every core. libical keeps its error and buffer state per thread.
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) {
    std::size_t at = fresh[k];
    reached[at] = load(entries[at], folder, names[at], &days);
  });

  std::vector<std::pair<std::string, FileEventsRef>> found;
  for (i = 0; i < names.size(); ++i) {
    if (!reached[i]) continue;
    if (FileEventsRef events = events_of(entries[i], folder, names[i])) found.emplace_back(names[i], std::move(events));
  }
  store_rows(folder, *listed.value());
  return found;
}

void ItemCache::keep_rule_steps(const std::string& folder) {
  auto listed = folders_.find(folder);
  if (listed == folders_.end() || !listed->second.listed) return;
  for (Entry& entry : listed->second.entries) {
    // A file that also holds reminders keeps its row as the reminder side left it.
    if (!entry.events || !entry.events->rule_steps_changed || entry.kind != ItemKind::event) continue;
    entry.events->rule_steps_changed = false;
    if (auto digest = event_digest_of(*entry.events)) entry.note_events(std::move(*digest));
  }
  store_rows(folder, listed->second);
}

FileEventsRef ItemCache::events_of(Entry& entry, const std::string& folder, const std::string& name) const {
  if (entry.events) return entry.events;
  if (!entry.read() && !entry.event_digest.empty()) {
    if (auto events = events_from_digest(entry.event_digest)) {
      return entry.events = std::make_shared<const FileEvents>(std::move(*events));
    }
    // A digest that does not read sends the store back to the file.
    entry.event_digest.clear();
    load(entry, folder, name);
  }
  ParsedItemRef item = parsed(entry, folder, name);
  if (!item || (entry.kind != ItemKind::event && entry.kind != ItemKind::mixed)) return nullptr;
  // A file whose reminder was read keeps only its text: its events need the tree again.
  if (!(item = with_tree(std::move(item)))) return nullptr;
  entry.events = std::make_shared<const FileEvents>(read_file_events(item->root.get(), item->text));
  entry.note_events(event_digest_of(*entry.events).value_or(""));
  return entry.events;
}

IndexedFile ItemCache::indexed_file(const Entry& entry) {
  IndexedFile file;
  file.stamp = entry.stamp;
  file.reach = entry.reach.value_or(Reach{kEveryDay});
  file.kind = entry.kind;
  file.reminder = entry.indexed_reminder;
  file.event_digest = entry.event_digest;
  if (entry.reminder()) file.reminder = packed_reminder(*entry.reminder()).value_or("");
  return file;
}

// One transaction for all the folder's news: rows of files read anew, rows of files gone.
void ItemCache::store_rows(const std::string& folder, Folder& listed) {
  IndexedRows changed;
  for (std::size_t i = 0; i < listed.entries.size(); ++i) {
    Entry& entry = listed.entries[i];
    if (!entry.row_changed) continue;
    entry.row_changed = false;
    changed.emplace_back(listed.names[i], indexed_file(entry));
  }
  std::vector<std::string> vanished;
  vanished.swap(vanished_[folder]);
  index_.update(folder, changed, vanished);
}

SysResult<ItemCache::FolderKinds> ItemCache::kinds_in(const std::string& folder) {
  auto listed = listing(folder);
  if (!listed.ok()) return listed.error();
  const std::vector<std::string>& names = listed.value()->names;
  std::vector<Entry>& entries = listed.value()->entries;
  FolderKinds kinds;
  auto note = [&](ItemKind kind) {
    kinds.events = kinds.events || kind == ItemKind::event || kind == ItemKind::mixed;
    kinds.reminders = kinds.reminders || kind == ItemKind::reminder || kind == ItemKind::mixed;
  };
  std::vector<std::size_t> fresh;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (entries[i].kind == ItemKind::unknown) {
      fresh.push_back(i);
    } else {
      note(entries[i].kind);
    }
  }
  // Once both kinds are known to be there, the rest cannot change the answer.
  if (kinds.events && kinds.reminders) return kinds;
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) {
    Entry& known = entries[fresh[k]];
    if (!known.read()) {
      load(known, folder, names[fresh[k]]);
    } else {
      parsed(known, folder, names[fresh[k]]);
    }
  });
  for (std::size_t i : fresh) {
    // A file that does not parse is no item; its kind goes to the index all the same.
    if (entries[i].kind == ItemKind::unknown && entries[i].read()) entries[i].kind = ItemKind::other;
    note(entries[i].kind);
  }
  store_rows(folder, *listed.value());
  return kinds;
}

ItemCache::Entry* ItemCache::find_entry(const std::string& folder, const std::string& name) {
  auto in = folders_.find(folder);
  if (in == folders_.end()) return nullptr;
  Folder& known = in->second;
  const std::vector<std::string>& names = known.names;
  // Lookups after a listing come in the listing's order: the next name first.
  std::size_t place = known.next_guess;
  if (place >= names.size() || names[place] != name) {
    auto at = std::lower_bound(names.begin(), names.end(), name);
    if (at == names.end() || *at != name) return nullptr;
    place = static_cast<std::size_t>(at - names.begin());
  }
  known.next_guess = place + 1;
  return &known.entries[place];
}

ItemCache::Entry& ItemCache::entry_at(Folder& in, const std::string& name) {
  auto at = std::lower_bound(in.names.begin(), in.names.end(), name);
  auto place = at - in.names.begin();
  if (at != in.names.end() && *at == name) return in.entries[static_cast<std::size_t>(place)];
  in.names.insert(at, name);
  return *in.entries.insert(in.entries.begin() + place, Entry());
}

ParsedItemRef ItemCache::item(const std::string& folder, const std::string& name) {
  return parsed(entry(folder, name), folder, name);
}

ItemCache::Entry& ItemCache::entry(const std::string& folder, const std::string& name) {
  Entry& found = entry_at(folders_[folder], name);
  if (!found.read()) load(found, folder, name);
  return found;
}

bool ItemCache::load(Entry& entry, const std::string& folder, const std::string& name, const DayRange* days) const {
  entry.file = std::make_unique<FileRead>();
  auto contents = read_file_linked_to_owner(file_path(folder, name), kLargestItemBytes, owner_);
  if (!contents.ok()) return true;
  const FileContents& read = *(entry.file->unparsed = std::make_unique<FileContents>(std::move(contents.value())));
  // What the index said holds only for the version it listed.
  bool indexed_version = entry.in_index && same_version(read.stamp, entry.stamp);
  if (!indexed_version) entry.forget_contents();
  entry.row_changed = !indexed_version;
  entry.stamp = read.stamp;
  if (days) {
    // A look at the lines, before the parser: a file that cannot reach the days
    // waits unparsed, and the index keeps what the look found.
    if (!entry.reach) entry.reach = text_reach(read.bytes);
    entry.row_changed = true;
    if (!reaches(*entry.reach, *days)) return false;
  }
  parsed(entry, folder, name);
  return true;
}

ParsedItemRef ItemCache::parsed(Entry& entry, const std::string& folder, const std::string& name) const {
  if (!entry.read()) return nullptr;
  FileRead& file = *entry.file;
  if (!file.unparsed) return file.parsed;
  FileContents contents = std::move(*file.unparsed);
  file.unparsed.reset();
  auto item = parse_item_text(std::move(contents.bytes));
  ItemKind kind = item ? kind_of_item(*item) : ItemKind::other;
  // What the index did not know yet goes to it with the folder's next rows.
  if (entry.kind != kind) entry.row_changed = true;
  entry.kind = kind;
  if (!item) return nullptr;
  item->folder = folder;
  item->name = name;
  item->stamp = contents.stamp;
  file.parsed = std::make_shared<const ParsedItem>(std::move(*item));
  return file.parsed;
}

void ItemCache::keep_lighter(ParsedItemRef item) {
  Entry& stored = entry_at(folders_[item->folder], item->name);
  if (!stored.read()) stored.file = std::make_unique<FileRead>();
  stored.file->unparsed.reset();
  stored.file->parsed = std::move(item);
}

void ItemCache::remember(ParsedItemRef item) {
  Entry& stored = entry_at(folders_[item->folder], item->name);
  stored.file = std::make_unique<FileRead>();
  // Its events are read again by the next event query that needs them.
  stored.forget_contents();
  stored.stamp = item->stamp;
  stored.kind = kind_of_item(*item);
  read_reminders(stored, *item);
  index_.put(item->folder, item->name, indexed_file(stored));
  stored.file->parsed = std::move(item);
}

void ItemCache::forget(const std::string& folder, const std::string& name) {
  if (Entry* known = find_entry(folder, name)) {
    Folder& in = folders_[folder];
    auto place = known - in.entries.data();
    in.entries.erase(in.entries.begin() + place);
    in.names.erase(in.names.begin() + place);
  }
  index_.erase(folder, name);
}

}  // namespace platform::local
