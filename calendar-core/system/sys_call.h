#pragma once

// The system calls that the front end, the user's locks and the local store
// share, each wrapped once: EINTR is retried and a failure keeps the call, the
// path and the errno. The store's other calls are in platform/local/files/sys_file.h.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "result/expected.h"

namespace sys {

using result::Done;

struct SysError {
  int code = 0;       // errno
  std::string call;   // what was attempted, e.g. "open"
  std::string path;
  // The errno's text.
  std::string reason() const;
  // "<call> <path>: <reason>"
  std::string describe() const;
};

template <class T>
using SysResult = result::Expected<T, SysError>;

// An open descriptor, closed with its owner.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
  Descriptor& operator=(Descriptor&&) = delete;
  int get() const { return fd_; }
  // Hands the descriptor over without closing it.
  int release();
  // Closes now. Closing a written file reports late write errors (e.g. on
  // network file systems); an interrupted close has closed all the same.
  SysResult<Done> close(const std::string& path);

 private:
  int fd_;
};

// open(2), relative to `folder` when the path is (openat(2)).
SysResult<Descriptor> open_path(const std::string& path, int flags, mode_t mode = 0, int folder = AT_FDCWD);
// fstat(2).
SysResult<struct stat> status_of(int fd, const std::string& path);
// One read(2): how many bytes it gave, 0 at the end.
SysResult<std::size_t> read_some(int fd, char* buffer, std::size_t size, const std::string& path);
// write(2) until every byte is written.
SysResult<Done> write_all(int fd, std::string_view bytes, const std::string& path);
// mkdir(2), relative to `folder` when the path is (mkdirat(2)).
SysResult<Done> make_directory(const std::string& path, mode_t mode, int folder = AT_FDCWD);
// mkdir -p: every missing folder of an absolute path.
SysResult<Done> make_directories(const std::string& path, mode_t mode);
// flock(2), exclusive and without waiting: EWOULDBLOCK while another holds it.
SysResult<Done> lock_now(int fd, const std::string& path);
// geteuid(2): whose files the process's own are.
uid_t effective_user_id();

}  // namespace sys
