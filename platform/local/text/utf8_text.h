#pragma once

#include <string>
#include <string_view>

namespace platform::local {

// The text as valid UTF-8: every ill-formed sequence becomes U+FFFD.
std::string valid_utf8(std::string_view bytes);

// Whether the bytes are valid UTF-8 already.
bool is_valid_utf8(std::string_view bytes);

}  // namespace platform::local
