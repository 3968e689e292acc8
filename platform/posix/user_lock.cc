#include "platform/posix/user_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <thread>

#include "system/sys_call.h"

namespace platform::posix {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

using sys::Descriptor;

constexpr const char* kFolderName = "calendar-bridge";

std::string absolute_path_from(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// A lock file's descriptor: closing it releases the lock.
class HeldFile : public HeldLock {
 public:
  explicit HeldFile(Descriptor fd) : fd_(std::move(fd)) {}
  int fd() const { return fd_.get(); }

 private:
  Descriptor fd_;
};

using Owned = std::optional<Descriptor>;

// Nothing when the open failed or `usable` refuses what it opened.
template <class Check>
Owned opened_if(sys::SysResult<Descriptor> opened, Check usable) {
  if (!opened.ok()) return std::nullopt;
  auto status = sys::status_of(opened.value().get(), "");
  if (!status.ok() || status.value().st_uid != sys::effective_user_id() || !usable(status.value()))
    return std::nullopt;
  return std::move(opened.value());
}

bool others_cannot_write(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

// A directory of the user that no one else can put a file in; `follow` says
// whether the path's last part may be a link.
Owned private_folder(int at, const std::string& path, bool follow) {
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
  return opened_if(sys::open_path(path, flags, 0, at),
                   [](const struct stat& st) { return S_ISDIR(st.st_mode) && others_cannot_write(st); });
}

// $XDG_RUNTIME_DIR/calendar-bridge, when the runtime folder is what the XDG Base
// Directory rules promise: the user's own directory with mode 0700.
Owned runtime_lock_folder() {
  std::string runtime = absolute_path_from("XDG_RUNTIME_DIR");
  if (runtime.empty()) return std::nullopt;
  Owned base = opened_if(sys::open_path(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW),
                         [](const struct stat& st) { return S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700; });
  if (!base) return std::nullopt;
  auto made = sys::make_directory(kFolderName, 0700, base->get());
  if (!made.ok() && made.error().code != EEXIST) return std::nullopt;
  return private_folder(base->get(), kFolderName, /*follow=*/false);
}

// $XDG_CACHE_HOME/calendar-bridge, else $HOME/.cache/calendar-bridge.
Owned cache_lock_folder() {
  std::string cache = absolute_path_from("XDG_CACHE_HOME");
  if (cache.empty()) {
    std::string home = absolute_path_from("HOME");
    if (home.empty()) return std::nullopt;
    cache = home + "/.cache";
  }
  std::string folder = cache + "/" + kFolderName;
  // A folder that cannot be made is found missing just below.
  sys::make_directories(folder, 0700);
  return private_folder(AT_FDCWD, folder, /*follow=*/false);
}

// The lock file in a folder: a regular file of the user that no one else can
// open. A link, a FIFO or another's file put there is never opened as the lock.
// flock(2) needs no write access: a lock file made before serves on a read-only
// mount too.
Owned lock_file(const Descriptor& folder, const std::string& name) {
  int flags = O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  return opened_if(sys::open_path(name, flags, 0600, folder.get()),
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
  if (Owned folder = store_root.empty() ? std::nullopt : private_folder(AT_FDCWD, store_root, /*follow=*/true)) {
    if (Owned file = lock_file(*folder, "." + name)) return file;
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<HeldLock> hold_user_lock(const std::string& name, milliseconds patience, const std::string& store_root) {
  Owned file = first_usable_lock_file(name, store_root);
  if (!file) return nullptr;
  auto lock = std::make_unique<HeldFile>(std::move(*file));
  // Polled rather than waited for in flock(2), so that a holder that never ends
  // cannot keep this process waiting for ever.
  auto deadline = steady_clock::now() + patience;
  milliseconds pause(1);
  while (true) {
    auto locked = sys::lock_now(lock->fd(), "");
    if (locked.ok()) return lock;
    if (locked.error().code != EWOULDBLOCK) return nullptr;
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
