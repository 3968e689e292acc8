#include "text/white_space.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace text {

bool is_white_space(char32_t code_point) {
  return u_hasBinaryProperty(static_cast<UChar32>(code_point), UCHAR_WHITE_SPACE);
}

std::string_view trim_white_space(std::string_view text) {
  const char* bytes = text.data();
  std::int32_t length = static_cast<std::int32_t>(text.size());
  std::int32_t start = 0;
  while (start < length) {
    std::int32_t next = start;
    UChar32 code;
    U8_NEXT(bytes, next, length, code);
    if (code < 0 || !is_white_space(static_cast<char32_t>(code))) break;
    start = next;
  }
  std::int32_t end = length;
  while (end > start) {
    std::int32_t previous = end;
    UChar32 code;
    U8_PREV(bytes, start, previous, code);
    if (code < 0 || !is_white_space(static_cast<char32_t>(code))) break;
    end = previous;
  }
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace text
