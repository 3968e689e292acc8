#pragma once

// What one store object has read of the item files: each folder listed once, each
// file read and parsed once, kept for the life of the store (nothing is kept
// between processes). The store's own writes update it.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/parsed_item.h"
#include "platform/local/sys_file.h"

namespace platform::local {

class ItemCache {
 public:
  explicit ItemCache(std::string root);

  // Tells from a file's text that the caller has no use for it, so it need not be parsed.
  using Unneeded = std::function<bool(std::string_view text)>;

  // The parsed items of a collection folder in ascending order of file name (so of
  // identifier); files that do not parse, or that `unneeded` turns down, are left
  // out. Fails when the folder cannot be listed.
  SysResult<std::vector<ParsedItemRef>> items_in(const std::string& folder, const Unneeded& unneeded = nullptr);
  // One item; null when its file is missing or does not parse.
  ParsedItemRef item(const std::string& folder, const std::string& name);

  // After the store wrote or removed a file.
  void remember(ParsedItemRef item);
  void forget(const std::string& folder, const std::string& name);

  std::string file_path(const std::string& folder, const std::string& name) const;

 private:
  // A file read (at most once) and, once someone needed it, parsed.
  struct Entry {
    bool read = false;
    std::optional<FileContents> unparsed;  // read, not parsed yet
    ParsedItemRef parsed;                  // null when unreadable, unparseable or not parsed yet
  };

  Entry& entry(const std::string& folder, const std::string& name);
  // Reads the file into a fresh entry and parses it unless `unneeded` turns it down;
  // true when it was turned down. Touches nothing but the entry, so several run at once.
  bool load(Entry& entry, const std::string& folder, const std::string& name, const Unneeded& unneeded) const;
  ParsedItemRef parsed(Entry& entry, const std::string& folder, const std::string& name) const;

  std::string root_;
  std::map<std::string, std::vector<std::string>> listings_;  // folder → sorted names
  std::map<std::string, Entry> entries_;                       // by identifier
};

}  // namespace platform::local
