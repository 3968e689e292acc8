#pragma once

// What one store object has read of the item files: each folder listed once, each
// file read and parsed once, kept for the life of the store (nothing is kept
// between processes). The store's own writes update it.

#include <map>
#include <string>
#include <vector>

#include "platform/local/parsed_item.h"
#include "platform/local/sys_file.h"

namespace platform::local {

class ItemCache {
 public:
  explicit ItemCache(std::string root);

  // The parsed items of a collection folder in ascending order of file name (so of
  // identifier); files that do not parse are left out. Fails when the folder
  // cannot be listed.
  SysResult<std::vector<ParsedItemRef>> items_in(const std::string& folder);
  // One item; null when its file is missing or does not parse.
  ParsedItemRef item(const std::string& folder, const std::string& name);

  // After the store wrote or removed a file.
  void remember(ParsedItemRef item);
  void forget(const std::string& folder, const std::string& name);

  std::string file_path(const std::string& folder, const std::string& name) const;

 private:
  ParsedItemRef load(const std::string& folder, const std::string& name);

  std::string root_;
  std::map<std::string, std::vector<std::string>> listings_;  // folder → sorted names
  std::map<std::string, ParsedItemRef> items_;                // identifier → item (null: unusable)
};

}  // namespace platform::local
