#include "platform/eventkit/nil_guard.h"

#include <unistd.h>

#include <cstring>

namespace platform::eventkit {

void end_on_nil(const char* operation) {
  // Raw writes and _exit: this may run on a platform thread while the main
  // thread waits, and nothing buffered for standard output may be flushed.
  static constexpr char kMessage[] = "日历数据库返回了空值：";
  ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  ignored = write(STDERR_FILENO, operation, std::strlen(operation));
  ignored = write(STDERR_FILENO, "\n", 1);
  (void)ignored;
  _exit(1);
}

}  // namespace platform::eventkit
