#pragma once

// UTF-8 checked and repaired with ICU's decoder: the one place that decodes it.

#include <string>
#include <string_view>

namespace text {

// Whether the bytes are well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);

// The bytes as valid UTF-8: each maximal ill-formed subpart becomes one U+FFFD
// (the rule of the WHATWG decoder and of ICU).
std::string valid_utf8(std::string_view bytes);

// The bytes with each one that is not part of well-formed UTF-8 written as "%"
// and two upper-case hexadecimal digits: distinct bytes stay distinct.
std::string escaped_utf8(std::string_view bytes);

// Whether every byte is ASCII.
bool is_ascii(std::string_view bytes);

}  // namespace text
