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
  std::vector<Entry>& entries = listed.value()->entries;
  std::vector<Entry*> fresh;
  for (Entry& known : entries) {
    // The index already says what this version holds: nothing to read.
    bool settled = known.in_index && (known.kind == ItemKind::event || known.kind == ItemKind::other);
    if (!known.read && !known.has_reminder() && !settled) fresh.push_back(&known);
  }
  for_each_index(fresh.size(), kParsingSplit, [&](std::size_t k) { load(*fresh[k], folder); });

  std::vector<std::string> found;
  for (Entry& known : entries) {
    if (!known.has_reminder() && known.read && known.several.empty()) read_reminders(known, load(known, folder));
    if (known.has_reminder()) found.push_back(known.name);
    for (const auto& several : known.several) found.push_back(known.name + "/" + several.first);
  }
  store_rows(folder, *listed.value());
  return found;
}

bool ItemCache::read_reminders(Entry& entry, ParsedItemRef item) {
  entry.reminder.reset();
  entry.several.clear();
  auto is_todo = [](const ItemPart& part) { return part.kind == ICAL_VTODO_COMPONENT; };
  if (!item || std::ranges::none_of(item->parts, is_todo) || !(item = with_tree(std::move(item)))) return false;
  // Converted here, one at a time: libical's zone lookups are shared by all threads.
  TodoLines lines = todo_lines_of(*item);  // located once for every reminder of the file
  for (const ItemPart& part : item->parts) {
    if (!is_todo(part)) continue;
    auto row = std::make_shared<ReminderRow>(reminder_row_of(*item, part, &lines));
    if (!item->holds_several()) {
      entry.reminder = std::move(row);
    } else {
      entry.several.emplace_back(item->identifier_of(part).substr(item->identifier().size() + 1), std::move(row));
    }
  }
  entry.row_changed = true;
  // What a later save needs is the text; libical's tree can go.
  entry.parsed = text_only(*item);
  return true;
}

ReminderRowRef ItemCache::known_reminder(const std::string& folder, const std::string& name,
                                         const std::optional<std::string>& uid) {
  Folder& in = folders_[folder];
  Entry* known = find_entry(in, name);
  if (!known) return nullptr;
  if (uid) {
    auto shown = std::ranges::find(known->several, *uid, &std::pair<std::string, ReminderRowRef>::first);
    return shown == known->several.end() ? nullptr : shown->second;
  }
  if (known->reminder || known->indexed_reminder.empty()) return known->reminder;
  if (ReminderRowRef row = row_from_packed(known->indexed_reminder)) return row;
  // The row does not read: the file tells, and its row is written anew.
  known->indexed_reminder.clear();
  if (!read_reminders(*known, load(*known, folder))) return nullptr;
  store_rows(folder, in);
  return known->reminder;
}

}  // namespace platform::local
