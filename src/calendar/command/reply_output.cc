#include "calendar/command/reply_output.h"

#include <unistd.h>

#include <cerrno>

#include "system/sys_call.h"

namespace bridge {
namespace {

constexpr const char* kReplyNotWritten = "无法写出回复：";

FrontEndOutput failure_output(const std::string& message) { return FrontEndOutput{1, {}, message + "\n"}; }

sys::SysResult<sys::Done> write_stream(int fd, const std::string& text, const io::ClosedStandardStreams& closed) {
  // A stream that was closed at start holds /dev/null now: writing there would pass for success.
  if (closed[static_cast<std::size_t>(fd)]) return sys::SysError{EBADF, "write", ""};
  return sys::write_all(fd, text, "");
}

}  // namespace

FrontEndOutput render_outcome(CommandOutcome outcome) {
  if (!outcome.is_reply()) return failure_output(outcome.message());
  // Compact, keys in byte order (the object type is an ordered map), non-ASCII
  // text raw; invalid UTF-8 in a string fails.
  auto text = std::move(outcome).reply_text();
  if (!text.ok()) return failure_output(text.error().message);
  text.value() += '\n';
  return FrontEndOutput{0, std::move(text.value()), {}};
}

int write_output(const FrontEndOutput& output, const io::ClosedStandardStreams& closed) {
  if (!output.standard_output.empty()) {
    if (auto written = write_stream(STDOUT_FILENO, output.standard_output, closed); !written.ok()) {
      write_stream(STDERR_FILENO, kReplyNotWritten + written.error().reason() + "\n", closed);
      return 1;
    }
  }
  if (!output.standard_error.empty()) {
    // The run has failed already; a message nobody can receive changes nothing.
    write_stream(STDERR_FILENO, output.standard_error, closed);
  }
  return output.exit_status;
}

}  // namespace bridge
