#include "platform/local/item_cache.h"

#include <algorithm>

namespace platform::local {

namespace {

// Larger files are no calendar item anyone wrote by hand or tool; they are skipped.
constexpr std::size_t kLargestItemBytes = 16 * 1024 * 1024;

std::string identifier_of(const std::string& folder, const std::string& name) { return folder + "/" + name; }

}  // namespace

ItemCache::ItemCache(std::string root) : root_(std::move(root)) {
  // libical reports problems through its error state; it must never abort us.
  icalerror_set_errors_are_fatal(0);
}

std::string ItemCache::file_path(const std::string& folder, const std::string& name) const {
  return root_ + "/" + folder + "/" + name + ".ics";
}

SysResult<std::vector<ParsedItemRef>> ItemCache::items_in(const std::string& folder, const Unneeded& unneeded) {
  auto listed = listings_.find(folder);
  if (listed == listings_.end()) {
    auto entries = list_directory(root_ + "/" + folder);
    if (!entries.ok()) return entries.error();
    std::vector<std::string> names;
    for (const auto& entry : entries.value()) {
      if (entry.kind == EntryKind::regular && is_item_file_name(entry.name)) {
        names.push_back(entry.name.substr(0, entry.name.size() - 4));
      }
    }
    std::sort(names.begin(), names.end());
    listed = listings_.emplace(folder, std::move(names)).first;
  }
  std::vector<ParsedItemRef> items;
  items.reserve(listed->second.size());
  for (const auto& name : listed->second) {
    Entry& found = entry(folder, name);
    if (unneeded && found.unparsed && unneeded(found.unparsed->bytes)) continue;
    if (auto item = parsed(found, folder, name)) items.push_back(std::move(item));
  }
  return items;
}

ParsedItemRef ItemCache::item(const std::string& folder, const std::string& name) {
  return parsed(entry(folder, name), folder, name);
}

ItemCache::Entry& ItemCache::entry(const std::string& folder, const std::string& name) {
  auto [found, added] = entries_.try_emplace(identifier_of(folder, name));
  if (added) {
    auto contents = read_file(file_path(folder, name), kLargestItemBytes);
    if (contents.ok()) found->second.unparsed = std::move(contents.value());
  }
  return found->second;
}

ParsedItemRef ItemCache::parsed(Entry& entry, const std::string& folder, const std::string& name) {
  if (!entry.unparsed) return entry.parsed;
  FileContents contents = std::move(*entry.unparsed);
  entry.unparsed.reset();
  auto item = parse_item_text(std::move(contents.bytes));
  if (!item) return nullptr;
  item->folder = folder;
  item->name = name;
  item->stamp = contents.stamp;
  entry.parsed = std::make_shared<const ParsedItem>(std::move(*item));
  return entry.parsed;
}

void ItemCache::remember(ParsedItemRef item) {
  auto listed = listings_.find(item->folder);
  if (listed != listings_.end()) {
    auto& names = listed->second;
    auto at = std::lower_bound(names.begin(), names.end(), item->name);
    if (at == names.end() || *at != item->name) names.insert(at, item->name);
  }
  Entry& stored = entries_[item->identifier()];
  stored.unparsed.reset();
  stored.parsed = std::move(item);
}

void ItemCache::forget(const std::string& folder, const std::string& name) {
  auto listed = listings_.find(folder);
  if (listed != listings_.end()) {
    auto& names = listed->second;
    auto at = std::lower_bound(names.begin(), names.end(), name);
    if (at != names.end() && *at == name) names.erase(at);
  }
  entries_.erase(identifier_of(folder, name));
}

}  // namespace platform::local
