#pragma once

// Runs the bridge executable as the desktop application does: arguments, an
// environment, bytes on standard input; captures standard output, standard
// error and the exit status. Output of any size is drained while the input is
// written, so neither side can block the other.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

// What the child finds on one of its output streams.
enum class OutputStream {
  captured,     // a pipe read by the runner
  closed,       // the descriptor is not open at all
  broken_pipe,  // a pipe whose reading end is already closed
  full_device,  // /dev/full: every write fails with ENOSPC
};

struct Invocation {
  std::vector<std::string> args;  // after the program name; any bytes
  std::string input;              // written to standard input, which is then closed
  bool close_stdin = false;       // start with descriptor 0 not open (input is ignored)
  std::optional<std::string> stdin_path;  // read standard input from this file instead
  // Environment changes over the runner's own: a value sets, nothing removes.
  std::vector<std::pair<std::string, std::optional<std::string>>> env;
  OutputStream stdout_stream = OutputStream::captured;
  OutputStream stderr_stream = OutputStream::captured;
  std::string program;            // empty: the bridge under test
  std::optional<std::string> argv0;  // empty: the program path
  std::chrono::milliseconds time_limit{60000};  // then the child is killed
};

struct RunResult {
  int exit_status = -1;     // -1 when the child did not exit normally
  int signal = 0;           // the signal that ended it, or 0
  bool timed_out = false;   // killed after the time limit
  bool input_written = false;  // every input byte went into the pipe (the child read all but a pipe's buffer)
  std::string out;
  std::string err;
};

RunResult run(const Invocation& invocation);

// Shorthand: the bridge with these arguments and input, default environment.
RunResult run_bridge(std::vector<std::string> args, std::string input = {});

}  // namespace cli
