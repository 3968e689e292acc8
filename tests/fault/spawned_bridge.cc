#include "fault/spawned_bridge.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <map>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace fault {
namespace {

std::vector<std::string> environment_with(const std::vector<std::pair<std::string, std::string>>& changes) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; e && *e; ++e) {
    std::string_view entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string_view::npos) vars[std::string(entry.substr(0, eq))] = std::string(entry.substr(eq + 1));
  }
  for (const auto& [name, value] : changes) vars[name] = value;
  std::vector<std::string> flat;
  for (const auto& [name, value] : vars) flat.push_back(name + "=" + value);
  return flat;
}

// Reads both pipes to their end, whichever the child fills first.
void drain(int& out_fd, int& err_fd, Finished& result) {
  std::array<char, 65536> buffer;
  while (out_fd >= 0 || err_fd >= 0) {
    std::array<pollfd, 2> fds{pollfd{out_fd, POLLIN, 0}, pollfd{err_fd, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer.data(), static_cast<std::size_t>(n));
        continue;
      }
      ::close(fds[i].fd);
      (i == 0 ? out_fd : err_fd) = -1;
    }
  }
}

}  // namespace

SpawnedBridge::SpawnedBridge(const SpawnOptions& options) {
  // Everything the child needs is built before fork: after it only async-signal-safe calls.
  std::string program = BRIDGE_BINARY;
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = environment_with(options.env);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  int in_fd = ::open(options.stdin_path.c_str(), O_RDONLY | O_CLOEXEC);
  int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  int out_pipe[2] = {-1, -1};
  int err_pipe[2] = {-1, -1};
  if (in_fd < 0 || null_fd < 0) throw std::runtime_error("cannot open the child's input " + options.stdin_path);
  if (options.capture && (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0)) {
    throw std::runtime_error("pipe2 failed");
  }
  struct rlimit limit {};
  if (options.file_size_limit) limit.rlim_cur = limit.rlim_max = *options.file_size_limit;

  pid_ = ::fork();
  if (pid_ == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    if (options.file_size_limit) {
      // Ignored, SIGXFSZ turns an oversized write into EFBIG the bridge must report.
      signal(SIGXFSZ, SIG_IGN);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    dup2(in_fd, 0);
    dup2(options.capture ? out_pipe[1] : null_fd, 1);
    dup2(options.capture ? err_pipe[1] : null_fd, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  ::close(in_fd);
  ::close(null_fd);
  if (options.capture) {
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
  }
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

SpawnedBridge::~SpawnedBridge() {
  if (pid_ > 0) {
    kill_now();
    wait();
  }
}

void SpawnedBridge::kill_now() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

Finished SpawnedBridge::wait() {
  Finished result;
  drain(out_fd_, err_fd_, result);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  pid_ = -1;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

Finished run_to_end(SpawnOptions options) {
  options.capture = true;
  SpawnedBridge child(options);
  return child.wait();
}

}  // namespace fault
