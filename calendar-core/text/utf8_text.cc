#include "text/utf8_text.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace text {

bool is_valid_utf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  auto length = static_cast<std::int32_t>(bytes.size());
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
  auto length = static_cast<std::int32_t>(bytes.size());
  std::string out;
  out.reserve(bytes.size() + 8);
  for (std::int32_t i = 0; i < length;) {
    std::int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
  }
  return out;
}

std::string escaped_utf8(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  auto length = static_cast<std::int32_t>(bytes.size());
  std::string out;
  out.reserve(bytes.size() + 16);
  for (std::int32_t i = 0; i < length;) {
    std::int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    for (std::int32_t at = start; at < i; ++at) {
      if (c >= 0) {
        out += static_cast<char>(s[at]);
      } else {
        out += '%';
        out += kHexDigits[s[at] >> 4];
        out += kHexDigits[s[at] & 0xF];
      }
    }
  }
  return out;
}

bool is_ascii(std::string_view bytes) {
  for (char byte : bytes) {
    if (static_cast<unsigned char>(byte) >= 0x80) return false;
  }
  return true;
}

}  // namespace text
