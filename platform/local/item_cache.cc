#include "platform/local/item_cache.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace platform::local {

namespace {

// Larger files are no calendar item anyone wrote by hand or tool; they are skipped.
constexpr std::size_t kLargestItemBytes = 16 * 1024 * 1024;

// Below this many new files a second thread costs more than it saves.
constexpr std::size_t kFilesWorthASecondThread = 256;
constexpr std::size_t kFilesPerClaim = 32;

std::string identifier_of(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// Runs work(i) for every i below count, on this thread and, for many, on helpers
// that claim the indices in small runs.
template <class Work>
void for_each_index(std::size_t count, Work work) {
  std::atomic<std::size_t> next{0};
  auto drain = [&] {
    for (std::size_t first; (first = next.fetch_add(kFilesPerClaim)) < count;) {
      for (std::size_t i = first; i < std::min(count, first + kFilesPerClaim); ++i) work(i);
    }
  };
  std::vector<std::thread> helpers;
  if (count >= kFilesWorthASecondThread) {
    unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    try {
      for (unsigned i = 1; i < cores; ++i) helpers.emplace_back(drain);
    } catch (const std::system_error&) {
      // Fewer helpers, or none: this thread still does all that is left.
    }
  }
  drain();
  for (auto& helper : helpers) helper.join();
}

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
  const std::vector<std::string>& names = listed->second;
  std::vector<Entry*> entries(names.size());
  std::vector<std::size_t> fresh;
  for (std::size_t i = 0; i < names.size(); ++i) {
    entries[i] = &entries_[identifier_of(folder, names[i])];
    if (!entries[i]->read) fresh.push_back(i);
  }
  // Reading and parsing new files is most of a large query: it runs on every core.
  // libical keeps its error and buffer state per thread.
  std::vector<char> turned_down(names.size(), 0);
  for_each_index(fresh.size(), [&](std::size_t k) {
    std::size_t i = fresh[k];
    turned_down[i] = load(*entries[i], folder, names[i], unneeded);
  });

  std::vector<ParsedItemRef> items;
  items.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    Entry& found = *entries[i];
    if (turned_down[i] || (unneeded && found.unparsed && unneeded(found.unparsed->bytes))) continue;
    if (auto item = parsed(found, folder, names[i])) items.push_back(std::move(item));
  }
  return items;
}

ParsedItemRef ItemCache::item(const std::string& folder, const std::string& name) {
  return parsed(entry(folder, name), folder, name);
}

ItemCache::Entry& ItemCache::entry(const std::string& folder, const std::string& name) {
  Entry& found = entries_[identifier_of(folder, name)];
  if (!found.read) load(found, folder, name, nullptr);
  return found;
}

bool ItemCache::load(Entry& entry, const std::string& folder, const std::string& name, const Unneeded& unneeded) const {
  entry.read = true;
  auto contents = read_file(file_path(folder, name), kLargestItemBytes);
  if (!contents.ok()) return false;
  entry.unparsed = std::move(contents.value());
  if (unneeded && unneeded(entry.unparsed->bytes)) return true;
  parsed(entry, folder, name);
  return false;
}

ParsedItemRef ItemCache::parsed(Entry& entry, const std::string& folder, const std::string& name) const {
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
  stored.read = true;
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
