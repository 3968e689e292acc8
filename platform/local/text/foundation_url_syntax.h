#pragma once

#include <string_view>

namespace platform::local {

// Whether Foundation's URLWithString: takes the text (unlike the WHATWG parser
// in calendar-core, which a browser follows): an RFC 3986 scheme, then only characters
// a URL may hold, "%" only before two hexadecimal digits, at most one "#".
bool foundation_url_accepts(std::string_view text);

}  // namespace platform::local
