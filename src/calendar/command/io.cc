#include "calendar/command/io.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/retry_eintr.h"

namespace bridge::io {
IoError describe_error(int code) {
  char buffer[256];
  // GNU strerror_r: returns the text, which may or may not live in `buffer`.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return IoError{code, text};
}

ReadResult read_some(int fd, char* buffer, std::size_t size) {
  ssize_t n = sys::retry_eintr([&] { return ::read(fd, buffer, size); });
  if (n >= 0) return ReadResult{static_cast<std::size_t>(n), std::nullopt};
  return ReadResult{0, describe_error(errno)};
}

std::optional<IoError> write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = sys::retry_eintr([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (n < 0) return describe_error(errno);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return std::nullopt;
}

void ignore_broken_pipe_signal() { ::signal(SIGPIPE, SIG_IGN); }

ClosedStandardStreams occupy_closed_standard_streams() {
  ClosedStandardStreams closed{false, false, false};
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed[fd] = true;
    // The lowest free number is taken, and every lower one is already open.
    int placeholder = sys::retry_eintr([] { return ::open("/dev/null", O_RDWR); });
    if (placeholder >= 0 && placeholder != fd) ::close(placeholder);
  }
  return closed;
}

}  // namespace bridge::io
