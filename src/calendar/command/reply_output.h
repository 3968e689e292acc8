#pragma once

#include <string>

#include "calendar/command/command_outcome.h"
#include "calendar/command/io.h"

namespace bridge {

// Everything one run shows the caller: at most one of the two texts is non-empty.
struct FrontEndOutput {
  int exit_status = 0;
  std::string standard_output;
  std::string standard_error;
};

// A reply as one line of compact JSON (exit 0), or a failure as its message and a
// line feed (exit 1). A reply that cannot be written as JSON becomes a failure
// carrying the JSON library's error text.
FrontEndOutput render_outcome(CommandOutcome outcome);

// Writes the texts to descriptors 1 and 2 and gives the exit status: the output's
// own, or 1 when the reply could not be written (a note then goes to standard error).
int write_output(const FrontEndOutput& output, const io::ClosedStandardStreams& closed);

}  // namespace bridge
