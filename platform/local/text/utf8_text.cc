#include "platform/local/text/utf8_text.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace platform::local {

bool is_valid_utf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::int32_t length = static_cast<std::int32_t>(bytes.size());
  if (static_cast<std::size_t>(length) != bytes.size()) return false;
  for (std::int32_t i = 0; i < length;) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string valid_utf8(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::int32_t length = static_cast<std::int32_t>(bytes.size());
  std::string out;
  out.reserve(bytes.size() + 8);
  for (std::int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT_OR_FFFD(s, i, length, c);
    std::uint8_t encoded[U8_MAX_LENGTH];
    std::int32_t size = 0;
    U8_APPEND_UNSAFE(encoded, size, c);
    out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(size));
  }
  return out;
}

}  // namespace platform::local
