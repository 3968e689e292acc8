#pragma once

// Starts the bridge as a child the test can kill at any moment or run under a
// resource limit, which the blocking CLI runner cannot do. Standard input comes
// from a file, so a child killed early never blocks the test on a pipe.

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fault {

struct SpawnOptions {
  std::vector<std::string> args;                             // after the program name
  std::string stdin_path;                                    // read as standard input
  std::vector<std::pair<std::string, std::string>> env;      // set over the test's own
  std::optional<unsigned long> file_size_limit;              // RLIMIT_FSIZE, with SIGXFSZ ignored
  bool capture = false;                                      // else stdout and stderr go to /dev/null
};

struct Finished {
  int exit_status = -1;  // -1 unless it exited normally
  int signal = 0;        // the signal that ended it, or 0
  std::string out;
  std::string err;
};

class SpawnedBridge {
 public:
  explicit SpawnedBridge(const SpawnOptions& options);
  ~SpawnedBridge();
  SpawnedBridge(const SpawnedBridge&) = delete;
  SpawnedBridge& operator=(const SpawnedBridge&) = delete;

  pid_t pid() const { return pid_; }
  void kill_now();
  // Reads what was captured, then reaps the child.
  Finished wait();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
};

// Runs to the end: the command's exit, stdout and stderr.
Finished run_to_end(SpawnOptions options);

}  // namespace fault
