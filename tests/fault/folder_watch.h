#pragma once

// Waits, without sleeping, for a child to reach a step of its write: a file
// appearing in a folder or renamed into it. Ends the wait when the child ends.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace fault {

class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Forgets events that came before.
  void clear();
  // True when an inotify event in `mask` came before `child` ended.
  bool wait_for(pid_t child, std::uint32_t mask);

 private:
  int inotify_fd_ = -1;
};

}  // namespace fault
