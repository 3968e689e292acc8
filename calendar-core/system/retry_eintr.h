#pragma once

// A system call made again while a signal interrupts it: the one EINTR loop of
// the bridge, for the front end's standard streams and for both backends' files.

#include <cerrno>

namespace sys {

template <class Call>
auto retry_eintr(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

}  // namespace sys
