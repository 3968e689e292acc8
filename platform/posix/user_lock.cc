#include "platform/posix/user_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "system/retry_eintr.h"

namespace platform::posix {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

using sys::retry_eintr;

std::string absolute_path_from(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// Closing the descriptor releases the lock.
class FileLock : public HeldLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// mkdir -p with the private mode; folders that exist keep theirs.
bool make_private_folders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (retry_eintr([&] { return ::mkdir(prefix.c_str(), 0700); }) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

std::string user_lock_folder() {
  std::string runtime = absolute_path_from("XDG_RUNTIME_DIR");
  if (!runtime.empty()) return runtime + "/calendar-bridge";
  std::string cache = absolute_path_from("XDG_CACHE_HOME");
  if (!cache.empty()) return cache + "/calendar-bridge";
  std::string home = absolute_path_from("HOME");
  if (!home.empty()) return home + "/.cache/calendar-bridge";
  return std::string();
}

std::unique_ptr<HeldLock> hold_user_lock(const std::string& name, milliseconds patience) {
  std::string folder = user_lock_folder();
  if (folder.empty() || !make_private_folders(folder)) return nullptr;
  std::string path = folder + "/" + name;
  int fd = retry_eintr([&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600); });
  if (fd < 0) return nullptr;
  auto lock = std::make_unique<FileLock>(fd);
  // Polled rather than waited for in flock(2), so that a holder that never ends
  // cannot keep this process waiting for ever.
  auto deadline = steady_clock::now() + patience;
  milliseconds pause(1);
  while (true) {
    if (retry_eintr([&] { return ::flock(lock->fd(), LOCK_EX | LOCK_NB); }) == 0) return lock;
    if (errno != EWOULDBLOCK) return nullptr;
    if (steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, milliseconds(20));
  }
}

std::unique_ptr<HeldLock> hold_reminder_write_lock_file() {
  constexpr milliseconds kPatience(120'000);
  return hold_user_lock("reminders.lock", kPatience);
}

}  // namespace platform::posix
