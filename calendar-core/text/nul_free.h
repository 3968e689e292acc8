#pragma once

// Text as iCalendar and C strings can hold it: U+0000 cannot be written in
// either, and a C string would end at it, losing the rest.

#include <string>
#include <string_view>

namespace text {

// The text with every U+0000 left out (in UTF-8 the byte 0 is that character only).
inline std::string without_nul(std::string_view text) {
  std::string out(text);
  std::erase(out, '\0');
  return out;
}

}  // namespace text
