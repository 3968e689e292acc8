#include "fault/mount_sandbox.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fault {
namespace {

// Runs in the holder: 0 when the mount is in place, else the errno of what failed.
int mount_in_new_namespace(const char* dir, const char* tmpfs_options) {
  if (unshare(CLONE_NEWNS) != 0) return errno;
  // Private, so nothing mounted here reaches the namespace the test came from.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errno;
  if (tmpfs_options) return mount("tmpfs", dir, "tmpfs", 0, tmpfs_options) == 0 ? 0 : errno;
  if (mount(dir, dir, nullptr, MS_BIND, nullptr) != 0) return errno;
  return mount(nullptr, dir, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0 ? 0 : errno;
}

}  // namespace

std::optional<MountSandbox> MountSandbox::tmpfs(const std::string& dir, unsigned long bytes, std::string& why_not) {
  return start(dir, bytes, why_not);
}

std::optional<MountSandbox> MountSandbox::read_only(const std::string& dir, std::string& why_not) {
  return start(dir, 0, why_not);
}

std::optional<MountSandbox> MountSandbox::start(const std::string& dir, unsigned long tmpfs_bytes,
                                                std::string& why_not) {
  std::string options = "size=" + std::to_string(tmpfs_bytes) + ",mode=0755";
  int report[2], keep[2];
  if (pipe2(report, O_CLOEXEC) != 0 || pipe2(keep, O_CLOEXEC) != 0) {
    why_not = "pipe2 failed";
    return std::nullopt;
  }
  pid_t holder = fork();
  if (holder == 0) {
    close(report[0]);
    close(keep[1]);
    int result = mount_in_new_namespace(dir.c_str(), tmpfs_bytes ? options.c_str() : nullptr);
    (void)!write(report[1], &result, sizeof result);
    char byte;
    while (read(keep[0], &byte, 1) != 0 && errno == EINTR) {
    }
    _exit(0);
  }
  close(report[1]);
  close(keep[0]);
  int result = -1;
  bool told = holder > 0 && read(report[0], &result, sizeof result) == sizeof result;
  close(report[0]);
  MountSandbox sandbox(holder, keep[1]);
  if (!told || result != 0) {
    why_not = "cannot mount in a private namespace: " + std::string(std::strerror(told ? result : ECHILD));
    return std::nullopt;
  }
  return sandbox;
}

MountSandbox::MountSandbox(MountSandbox&& other) noexcept : holder_(other.holder_), keep_fd_(other.keep_fd_) {
  other.holder_ = -1;
  other.keep_fd_ = -1;
}

MountSandbox::~MountSandbox() {
  if (keep_fd_ >= 0) close(keep_fd_);
  if (holder_ > 0) {
    int status = 0;
    while (waitpid(holder_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

std::string MountSandbox::view(const std::string& path) const {
  return "/proc/" + std::to_string(holder_) + "/root" + path;
}

}  // namespace fault
