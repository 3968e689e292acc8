#pragma once

// The front end's standard streams: the calls only it makes. Reads and writes go
// through system/sys_call.h.

#include <array>

namespace bridge::io {

// A write to a closed pipe then fails with EPIPE instead of ending the process.
void ignore_broken_pipe_signal();

// Which of the standard descriptors 0, 1 and 2 were not open at start.
using ClosedStandardStreams = std::array<bool, 3>;

// Puts /dev/null on every standard descriptor that is not open, so that no file
// opened later (such as a store file) can take its number and receive the reply.
ClosedStandardStreams occupy_closed_standard_streams();

}  // namespace bridge::io
