#include "fault/folder_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

namespace fault {

FolderWatch::FolderWatch(const std::string& folder) {
  inotify_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_fd_ < 0 || inotify_add_watch(inotify_fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE) < 0) {
    throw std::runtime_error("cannot watch " + folder);
  }
}

FolderWatch::~FolderWatch() { ::close(inotify_fd_); }

void FolderWatch::clear() {
  alignas(inotify_event) std::array<char, 8192> buffer;
  while (::read(inotify_fd_, buffer.data(), buffer.size()) > 0) {
  }
}

bool FolderWatch::wait_for(pid_t child, std::uint32_t mask) {
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
  if (pidfd < 0) throw std::runtime_error("pidfd_open failed");
  alignas(inotify_event) std::array<char, 8192> buffer;
  bool seen = false;
  bool ended = false;
  while (!seen && !ended) {
    std::array<pollfd, 2> fds{pollfd{inotify_fd_, POLLIN, 0}, pollfd{pidfd, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    ssize_t n = ::read(inotify_fd_, buffer.data(), buffer.size());
    for (ssize_t at = 0; at < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer.data() + at);
      seen = seen || (event->mask & mask) != 0;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    ended = !seen && fds[1].revents != 0;
  }
  ::close(pidfd);
  return seen;
}

}  // namespace fault
