#pragma once

#include <string_view>

namespace platform::local {

// Whether URLWithString: takes the text: an RFC 3986 scheme, then only characters
// a URL may hold, "%" only before two hexadecimal digits, at most one "#".
bool is_absolute_url(std::string_view text);

}  // namespace platform::local
