#pragma once

#include "calendar/command/command_outcome.h"
#include "result/expected.h"

namespace bridge {

using result::Done;

// A value, or the message that says why there is none.
template <class T>
using Expected = result::Expected<T, Failure>;

}  // namespace bridge
