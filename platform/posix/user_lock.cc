#include "platform/posix/user_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <thread>

#include "system/retry_eintr.h"

namespace platform::posix {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

using sys::retry_eintr;

constexpr const char* kFolderName = "calendar-bridge";

std::string absolute_path_from(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// An open descriptor, closed with its owner. Closing a lock file's descriptor
// releases the lock.
class Descriptor : public HeldLock {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

using Owned = std::unique_ptr<Descriptor>;

// Nothing when the open failed or `usable` refuses what it opened.
template <class Check>
Owned opened_if(int fd, Check usable) {
  if (fd < 0) return nullptr;
  auto owned = std::make_unique<Descriptor>(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || !usable(st)) return nullptr;
  return owned;
}

bool others_cannot_write(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

// A directory of the user that no one else can put a file in; `follow` says
// whether the path's last part may be a link.
Owned private_folder(int at, const std::string& path, bool follow) {
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
  return opened_if(retry_eintr([&] { return ::openat(at, path.c_str(), flags); }),
                   [](const struct stat& st) { return S_ISDIR(st.st_mode) && others_cannot_write(st); });
}

// mkdir -p with the private mode; folders that exist keep theirs.
void make_private_folders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (retry_eintr([&] { return ::mkdir(prefix.c_str(), 0700); }) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
}

// $XDG_RUNTIME_DIR/calendar-bridge, when the runtime folder is what the XDG Base
// Directory rules promise: the user's own directory with mode 0700.
Owned runtime_lock_folder() {
  std::string runtime = absolute_path_from("XDG_RUNTIME_DIR");
  if (runtime.empty()) return nullptr;
  Owned base = opened_if(
      retry_eintr([&] { return ::open(runtime.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW); }),
      [](const struct stat& st) { return S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700; });
  if (!base) return nullptr;
  if (retry_eintr([&] { return ::mkdirat(base->fd(), kFolderName, 0700); }) != 0 && errno != EEXIST) return nullptr;
  return private_folder(base->fd(), kFolderName, /*follow=*/false);
}

// $XDG_CACHE_HOME/calendar-bridge, else $HOME/.cache/calendar-bridge.
Owned cache_lock_folder() {
  std::string cache = absolute_path_from("XDG_CACHE_HOME");
  if (cache.empty()) {
    std::string home = absolute_path_from("HOME");
    if (home.empty()) return nullptr;
    cache = home + "/.cache";
  }
  std::string folder = cache + "/" + kFolderName;
  make_private_folders(folder);
  return private_folder(AT_FDCWD, folder, /*follow=*/false);
}

// The lock file in a folder: a regular file of the user that no one else can
// open. A link, a FIFO or another's file put there is never opened as the lock.
// flock(2) needs no write access: a lock file made before serves on a read-only
// mount too.
Owned lock_file(const Descriptor& folder, const std::string& name) {
  int flags = O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  return opened_if(retry_eintr([&] { return ::openat(folder.fd(), name.c_str(), flags, 0600); }),
                   [](const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & 077) == 0; });
}

// The first lock file the folders give, in their order.
Owned first_usable_lock_file(const std::string& name, const std::string& store_root) {
  if (Owned folder = runtime_lock_folder()) {
    if (Owned file = lock_file(*folder, name)) return file;
  }
  if (Owned folder = cache_lock_folder()) {
    if (Owned file = lock_file(*folder, name)) return file;
  }
  // The root is named by the user, who may keep it behind a link.
  if (Owned folder = store_root.empty() ? nullptr : private_folder(AT_FDCWD, store_root, /*follow=*/true)) {
    if (Owned file = lock_file(*folder, "." + name)) return file;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<HeldLock> hold_user_lock(const std::string& name, milliseconds patience, const std::string& store_root) {
  Owned lock = first_usable_lock_file(name, store_root);
  if (!lock) return nullptr;
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

std::unique_ptr<HeldLock> hold_reminder_write_lock_file(const std::string& store_root) {
  constexpr milliseconds kPatience(120'000);
  return hold_user_lock("reminders.lock", kPatience, store_root);
}

}  // namespace platform::posix
