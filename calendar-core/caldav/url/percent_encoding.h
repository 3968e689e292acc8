#pragma once

#include <string>
#include <string_view>

namespace caldav::url {

// The URL Standard's percent-encode sets used by the parser of special URLs.
// Each includes the C0 controls and everything above U+007E.
enum class EncodeSet { c0_control, fragment, special_query, path, userinfo };

// Appends the UTF-8 text, percent-encoding every byte whose code point is in the
// set. Byte by byte is exact: every set holds all non-ASCII code points, so each
// byte of a multi-byte sequence is encoded.
void append_percent_encoded(std::string& out, std::string_view utf8, EncodeSet set);

// The bytes with every "%" followed by two hex digits replaced by that byte.
std::string percent_decode(std::string_view text);

}  // namespace caldav::url
