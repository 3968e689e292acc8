#pragma once

// The few system calls the front end makes, each wrapped once: interrupted calls
// are retried and a failure keeps its errno and text.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bridge::io {

struct IoError {
  int code = 0;      // errno
  std::string text;  // strerror of it
};

struct ReadResult {
  std::size_t bytes = 0;  // 0 at end of input
  std::optional<IoError> error;
};

// The error value of an errno.
IoError describe_error(int code);

// One read(2) into `buffer`.
ReadResult read_some(int fd, char* buffer, std::size_t size);

// Writes every byte, continuing after short writes.
std::optional<IoError> write_all(int fd, std::string_view bytes);

// A write to a closed pipe then fails with EPIPE instead of ending the process.
void ignore_broken_pipe_signal();

// Which of the standard descriptors 0, 1 and 2 were not open at start.
using ClosedStandardStreams = std::array<bool, 3>;

// Puts /dev/null on every standard descriptor that is not open, so that no file
// opened later (such as a store file) can take its number and receive the reply.
ClosedStandardStreams occupy_closed_standard_streams();

}  // namespace bridge::io
