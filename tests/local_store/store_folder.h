#pragma once

// A temporary store root for one test, with helpers to write fixture files.

#include <string>
#include <string_view>

#include "support/temp_folder.h"

namespace store_test {

class StoreFolder {
 public:
  StoreFolder();

  // The root path (inside a fresh temporary folder; the root itself exists).
  const std::string& root() const { return root_; }
  // The temporary folder that holds the root.
  const std::string& base() const { return base_; }
  std::string path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

  // Writes a file relative to the root, making its folders.
  void write(std::string_view relative, std::string_view contents) const;
  // A collection folder with optional metadata (empty texts are not written).
  void add_collection(std::string_view folder, std::string_view displayname = {}, std::string_view components = {},
                      std::string_view color = {}) const;
  std::string read(std::string_view relative) const;
  bool exists(std::string_view relative) const;

 private:
  test_support::TempFolder folder_;
  std::string base_;
  std::string root_;
};

// Whether the process may write where its permission bits say it may not (root).
bool running_as_root();

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// Sets a file's access and modification times. Rows are kept only for files that
// settled, so index fixtures get a time long past.
void set_modified(const std::string& path, long seconds, long nanoseconds = 0);

// Runs SQL statements on a database file (to damage or inspect the store's index).
void sql(const std::string& path, const char* statements);

}  // namespace store_test
