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

SysResult<std::vector<ParsedItemRef>> ItemCache::items_in(const std::string& folder) {
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
    if (auto found = item(folder, name)) items.push_back(std::move(found));
  }
  return items;
}

ParsedItemRef ItemCache::item(const std::string& folder, const std::string& name) {
  std::string identifier = identifier_of(folder, name);
  auto found = items_.find(identifier);
  if (found != items_.end()) return found->second;
  ParsedItemRef loaded = load(folder, name);
  items_.emplace(std::move(identifier), loaded);
  return loaded;
}

ParsedItemRef ItemCache::load(const std::string& folder, const std::string& name) {
  auto contents = read_file(file_path(folder, name), kLargestItemBytes);
  if (!contents.ok()) return nullptr;
  auto parsed = parse_item_text(std::move(contents.value().bytes));
  if (!parsed) return nullptr;
  parsed->folder = folder;
  parsed->name = name;
  parsed->stamp = contents.value().stamp;
  return std::make_shared<const ParsedItem>(std::move(*parsed));
}

void ItemCache::remember(ParsedItemRef item) {
  auto listed = listings_.find(item->folder);
  if (listed != listings_.end()) {
    auto& names = listed->second;
    auto at = std::lower_bound(names.begin(), names.end(), item->name);
    if (at == names.end() || *at != item->name) names.insert(at, item->name);
  }
  items_[item->identifier()] = std::move(item);
}

void ItemCache::forget(const std::string& folder, const std::string& name) {
  auto listed = listings_.find(folder);
  if (listed != listings_.end()) {
    auto& names = listed->second;
    auto at = std::lower_bound(names.begin(), names.end(), name);
    if (at != names.end() && *at == name) names.erase(at);
  }
  items_.erase(identifier_of(folder, name));
}

}  // namespace platform::local
