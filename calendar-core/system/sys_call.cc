#include "system/sys_call.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/retry_eintr.h"

namespace sys {

namespace {

SysError failure(const char* call, const std::string& path) { return SysError{errno, call, path}; }

}  // namespace

std::string SysError::reason() const { return std::strerror(code); }

std::string SysError::describe() const { return call + " " + path + ": " + reason(); }

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int Descriptor::release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

SysResult<Done> Descriptor::close(const std::string& path) {
  if (::close(release()) != 0 && errno != EINTR) return failure("close", path);
  return Done{};
}

SysResult<Descriptor> open_path(const std::string& path, int flags, mode_t mode, int folder) {
  int fd = retry_eintr([&] { return ::openat(folder, path.c_str(), flags, mode); });
  if (fd < 0) return failure("open", path);
  return Descriptor(fd);
}

SysResult<struct stat> status_of(int fd, const std::string& path) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return failure("fstat", path);
  return st;
}

SysResult<std::size_t> read_some(int fd, char* buffer, std::size_t size, const std::string& path) {
  ssize_t got = retry_eintr([&] { return ::read(fd, buffer, size); });
  if (got < 0) return failure("read", path);
  return static_cast<std::size_t>(got);
}

SysResult<Done> write_all(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    ssize_t put = retry_eintr([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (put < 0) return failure("write", path);
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return Done{};
}

SysResult<Done> make_directory(const std::string& path, mode_t mode, int folder) {
  if (retry_eintr([&] { return ::mkdirat(folder, path.c_str(), mode); }) != 0) return failure("mkdir", path);
  return Done{};
}

SysResult<Done> make_directories(const std::string& path, mode_t mode) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty()) {
      auto made = make_directory(prefix, mode);
      if (!made.ok() && made.error().code != EEXIST) return made;
    }
    if (slash == std::string::npos) return Done{};
  }
}

SysResult<Done> lock_now(int fd, const std::string& path) {
  if (retry_eintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) return failure("flock", path);
  return Done{};
}

uid_t effective_user_id() { return ::geteuid(); }

}  // namespace sys
