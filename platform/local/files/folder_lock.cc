#include "platform/local/files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "system/retry_eintr.h"

namespace platform::local {

FolderLock::FolderLock(const std::string& folder_path) {
  fd_ = sys::retry_eintr([&] { return ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd_ < 0) return;
  if (sys::retry_eintr([&] { return ::flock(fd_, LOCK_EX); }) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform::local
