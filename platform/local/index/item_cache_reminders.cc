// The reminder side of the item cache: which files hold reminders, and each
// reminder as the index or the file gives it.

#include <algorithm>

#include "platform/local/files/for_each_index.h"
#include "platform/local/index/item_cache.h"
#include "platform/local/index/packed_reminder.h"
#include "platform/local/reminders/reminder_reader.h"

namespace platform::local {

SysResult<std::vector<std::string>> ItemCache::reminder_names_in(const std::string& folder) {
  auto listed = listing(folder);
  if (!listed.ok()) return listed.error();
  const std::vector<std::string>& names = listed.value()->names;
  std::vector<Entry>& entries = listed.value()->entries;
  std::vector<std::size_t> fresh;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Entry& known = entries[i];
    // The index already says what this version holds: nothing to read.
    bool settled = known.in_index && (known.kind == ItemKind::event || known.kind == ItemKind::other);
    if (!known.read() && !known.has_reminder() && !settled) fresh.push_back(i);
  }
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) { load(entries[fresh[k]], folder, names[fresh[k]]); });

  std::vector<std::string> found;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Entry& known = entries[i];
    if (!known.has_reminder() && known.read() && known.file->several.empty()) {
      reminders_from_file(known, folder, names[i]);
    }
    if (known.has_reminder()) found.push_back(names[i]);
    if (known.read()) {
      for (const auto& several : known.file->several) found.push_back(names[i] + "/" + several.first);
    }
  }
  store_rows(folder, *listed.value());
  return found;
}

bool ItemCache::reminders_from_file(Entry& entry, const std::string& folder, const std::string& name) {
  ParsedItemRef item = parsed(entry, folder, name);
  auto is_todo = [](const ItemPart& part) { return part.kind == ICAL_VTODO_COMPONENT; };
  if (!item || std::ranges::none_of(item->parts, is_todo) || !(item = with_tree(std::move(item)))) return false;
  // Converted here, one at a time: libical's zone lookups are shared by all threads.
  read_reminders(entry, *item);
  entry.row_changed = true;
  // What a later save needs is the text; libical's tree can go.
  entry.file->parsed = text_only(*item);
  return true;
}

const ReminderRowRef& ItemCache::Entry::reminder() const {
  static const ReminderRowRef kNone;
  return file ? file->reminder : kNone;
}

void ItemCache::read_reminders(Entry& entry, const ParsedItem& item) {
  entry.file->reminder.reset();
  entry.file->several.clear();
  std::optional<TodoLines> lines;  // located once for every reminder of the file
  for (const ItemPart& part : item.parts) {
    if (part.kind != ICAL_VTODO_COMPONENT) continue;
    if (!lines) lines = todo_lines_of(item);
    auto row = std::make_shared<ReminderRow>(reminder_row_of(item, part, &*lines));
    if (!item.holds_several()) {
      entry.file->reminder = std::move(row);
    } else {
      entry.file->several.emplace_back(item.identifier_of(part).substr(item.identifier().size() + 1), std::move(row));
    }
  }
}

ReminderRowRef ItemCache::known_reminder(const std::string& folder, const std::string& name,
                                         const std::optional<std::string>& uid) {
  Entry* known = find_entry(folder, name);
  if (!known || (uid && !known->read())) return nullptr;
  if (uid) {
    const auto& several = known->file->several;
    auto shown = std::ranges::find(several, *uid, &std::pair<std::string, ReminderRowRef>::first);
    return shown == several.end() ? nullptr : shown->second;
  }
  if (known->reminder() || known->indexed_reminder.empty()) return known->reminder();
  if (ReminderRowRef row = row_from_packed(known->indexed_reminder)) return row;
  // The row does not read: the file tells, and its row is written anew.
  known->indexed_reminder.clear();
  known->in_index = false;
  load(*known, folder, name);
  if (!reminders_from_file(*known, folder, name)) return nullptr;
  index_.put(folder, name, indexed_file(*known));
  known->row_changed = false;
  return known->reminder();
}

}  // namespace platform::local
