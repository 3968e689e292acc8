#include "calendar/command/io.h"

#include <fcntl.h>
#include <signal.h>

#include <cerrno>

#include "system/sys_call.h"

namespace bridge::io {

void ignore_broken_pipe_signal() { ::signal(SIGPIPE, SIG_IGN); }

ClosedStandardStreams occupy_closed_standard_streams() {
  ClosedStandardStreams closed{false, false, false};
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed[fd] = true;
    // The lowest free number is taken, and every lower one is already open.
    auto placeholder = sys::open_path("/dev/null", O_RDWR);
    // The placeholder stays open for the rest of the run.
    if (placeholder.ok() && placeholder.value().get() == fd) placeholder.value().release();
  }
  return closed;
}

}  // namespace bridge::io
