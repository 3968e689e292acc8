#pragma once

// Unicode White_Space on UTF-8 text. Bytes that are not valid UTF-8 are never
// white space: they are content of some kind, certainly not blank.

#include <string_view>

namespace text {

// Whether the code point has the Unicode White_Space property.
bool is_white_space(char32_t code_point);

// The text without white space at either end.
std::string_view trim_white_space(std::string_view text);

// Whether the text holds nothing but white space (the empty text included).
inline bool is_blank(std::string_view text) { return trim_white_space(text).empty(); }

}  // namespace text
