#pragma once

// Keeps writers of one collection folder, in any process, from interleaving:
// a save reads the item's current version and renames its new one into place
// while holding the lock, so two saves never both patch the same old version
// and a save never brings back a file a removal just deleted. The lock is
// flock(2) on the folder itself: no file is made, and it ends with the process.

#include <string>

namespace platform::local {

class FolderLock {
 public:
  // Waits for the lock. A folder that cannot be opened or locked is left unlocked:
  // the write then goes on as it would without the lock, and fails on its own.
  explicit FolderLock(const std::string& folder_path);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace platform::local
