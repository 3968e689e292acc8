#pragma once

#include <string_view>

#include "calendar/command/command_outcome.h"

namespace bridge {

// Arrays and objects nested this deep or deeper make the input unreadable.
inline constexpr int kParameterNestingLimit = 128;

// The parameters value: exactly one JSON document (one value, then only white
// space), or an empty object when there is anything else.
Json read_parameters(std::string_view bytes);

// The same, read from a descriptor until the document ends or reading fails;
// a read error also gives an empty object.
Json read_parameters_from(int fd);

}  // namespace bridge
