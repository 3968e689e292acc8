// calendar-bridge: one command per process. The first argument names the command,
// standard input holds its parameters as one JSON value, and the reply (or the
// failure message) goes to standard output (or standard error).

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "calendar/apple/front_end.h"
#include "calendar/command/io.h"
#include "calendar/command/json_input.h"
#include "platform/platform.h"

namespace {

int serve(int argc, char** argv) {
  bridge::io::ignore_broken_pipe_signal();
  const bridge::io::ClosedStandardStreams closed = bridge::io::occupy_closed_standard_streams();

  std::vector<std::string> args;
  if (argc > 1) args.emplace_back(argv[1]);  // further arguments are ignored

  // Standard input is read before the command is looked at, for every command.
  const bridge::Json params = bridge::read_parameters_from(STDIN_FILENO);

  std::unique_ptr<platform::Platform> platform;
  auto supply_platform = [&platform]() -> platform::Platform* {
    if (!platform) platform = platform::make_default_platform();
    return platform.get();
  };
  const bridge::FrontEndOutput output = bridge::run_front_end(supply_platform, args, params);
  return bridge::write_output(output, closed);
}

}  // namespace

int main(int argc, char** argv) {
  return platform::run_command([argc, argv] { return serve(argc, argv); });
}
