#pragma once

// A mount visible to the test alone: a child process enters a private mount
// namespace, mounts there and stays until the sandbox goes. The test and the
// bridge reach that mount through /proc/<child>/root, so the machine's own
// mounts never change.

#include <sys/types.h>

#include <optional>
#include <string>

namespace fault {

class MountSandbox {
 public:
  // A tmpfs of `bytes` over the folder `dir`.
  static std::optional<MountSandbox> tmpfs(const std::string& dir, unsigned long bytes, std::string& why_not);
  // The folder `dir` bound read-only over itself.
  static std::optional<MountSandbox> read_only(const std::string& dir, std::string& why_not);

  MountSandbox(MountSandbox&& other) noexcept;
  MountSandbox& operator=(MountSandbox&&) = delete;
  ~MountSandbox();

  // `path` as the sandbox sees it.
  std::string view(const std::string& path) const;

 private:
  MountSandbox(pid_t holder, int keep_fd) : holder_(holder), keep_fd_(keep_fd) {}
  static std::optional<MountSandbox> start(const std::string& dir, unsigned long tmpfs_bytes, std::string& why_not);

  pid_t holder_ = -1;
  int keep_fd_ = -1;  // closing it lets the holder go
};

}  // namespace fault
