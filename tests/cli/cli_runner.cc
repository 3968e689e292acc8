#include "cli/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace cli {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// A pipe whose ends are closed on exec; dup2 into 0/1/2 makes a child's copy survive.
struct Pipe {
  int read_end = -1;
  int write_end = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe2");
    read_end = fds[0];
    write_end = fds[1];
  }
  ~Pipe() {
    close_read();
    close_write();
  }
  void close_read() {
    if (read_end >= 0) ::close(read_end);
    read_end = -1;
  }
  void close_write() {
    if (write_end >= 0) ::close(write_end);
    write_end = -1;
  }
};

std::vector<std::string> child_environment(const Invocation& inv) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; e && *e; ++e) {
    std::string_view entry(*e);
    auto eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    vars[std::string(entry.substr(0, eq))] = std::string(entry.substr(eq + 1));
  }
  for (const auto& [name, value] : inv.env) {
    if (value) {
      vars[name] = *value;
    } else {
      vars.erase(name);
    }
  }
  std::vector<std::string> flat;
  for (const auto& [name, value] : vars) flat.push_back(name + "=" + value);
  return flat;
}

void set_up_output(posix_spawn_file_actions_t* actions, int target, OutputStream mode, Pipe& captured,
                   Pipe& broken) {
  switch (mode) {
    case OutputStream::captured:
      posix_spawn_file_actions_adddup2(actions, captured.write_end, target);
      break;
    case OutputStream::closed:
      posix_spawn_file_actions_addclose(actions, target);
      break;
    case OutputStream::broken_pipe:
      posix_spawn_file_actions_adddup2(actions, broken.write_end, target);
      break;
    case OutputStream::full_device:
      posix_spawn_file_actions_addopen(actions, target, "/dev/full", O_WRONLY, 0);
      break;
  }
}

// Writes and reads until both outputs reach their end or the time limit passes.
bool pump(pid_t child, const std::string& input, Pipe& in, Pipe& out, Pipe& err, RunResult& result,
          std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  std::size_t written = 0;
  if (in.write_end >= 0) {
    fcntl(in.write_end, F_SETFL, fcntl(in.write_end, F_GETFL) | O_NONBLOCK);
    if (input.empty()) {
      result.input_written = true;
      in.close_write();
    }
  }
  std::array<char, 65536> buffer;
  while (in.write_end >= 0 || out.read_end >= 0 || err.read_end >= 0) {
    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    auto watch = [&](int fd, short events) {
      if (fd >= 0) fds[count++] = pollfd{fd, events, 0};
    };
    watch(in.write_end, POLLOUT);
    watch(out.read_end, POLLIN);
    watch(err.read_end, POLLIN);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(child, SIGKILL);
      return false;
    }
    int ready = poll(fds.data(), count, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      fail("poll");
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in.write_end) {
        ssize_t n = ::write(in.write_end, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n > 0 && written == input.size()) result.input_written = true;
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) in.close_write();
        continue;
      }
      Pipe& source = fds[i].fd == out.read_end ? out : err;
      std::string& sink = fds[i].fd == out.read_end ? result.out : result.err;
      ssize_t n = ::read(source.read_end, buffer.data(), buffer.size());
      if (n > 0) {
        sink.append(buffer.data(), static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        source.close_read();
      }
    }
  }
  return true;
}

}  // namespace

RunResult run(const Invocation& inv) {
  // Writing to a child that already exited must not kill the test process.
  signal(SIGPIPE, SIG_IGN);

  std::string program = inv.program.empty() ? std::string(BRIDGE_BINARY) : inv.program;
  Pipe in, out, err, broken;
  broken.close_read();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inv.close_stdin) {
    posix_spawn_file_actions_addclose(&actions, 0);
  } else if (inv.stdin_path) {
    posix_spawn_file_actions_addopen(&actions, 0, inv.stdin_path->c_str(), O_RDONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, in.read_end, 0);
  }
  set_up_output(&actions, 1, inv.stdout_stream, out, broken);
  set_up_output(&actions, 2, inv.stderr_stream, err, broken);

  // The child starts with default signal handling and nothing blocked, whatever the runner ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, empty;
  sigfillset(&defaults);
  sigemptyset(&empty);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &empty);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> argv_text{inv.argv0.value_or(program)};
  argv_text.insert(argv_text.end(), inv.args.begin(), inv.args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = child_environment(inv);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t child = 0;
  int spawned = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    errno = spawned;
    fail("posix_spawn " + program);
  }

  in.close_read();
  out.close_write();
  err.close_write();
  broken.close_write();
  if (inv.close_stdin || inv.stdin_path) in.close_write();
  if (inv.stdout_stream != OutputStream::captured) out.close_read();
  if (inv.stderr_stream != OutputStream::captured) err.close_read();

  RunResult result;
  result.timed_out = !pump(child, inv.input, in, out, err, result, inv.time_limit);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) fail("waitpid");
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

RunResult run_bridge(std::vector<std::string> args, std::string input) {
  Invocation inv;
  inv.args = std::move(args);
  inv.input = std::move(input);
  return run(inv);
}

}  // namespace cli
