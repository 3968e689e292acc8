#include "text/utf8_text.h"

#include <unicode/utf8.h>

#include <cstdint>

#include "text/hex_digits.h"

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

namespace {

// The bytes with each maximal ill-formed subpart replaced by what `replace` makes
// of it.
template <class Replace>
std::string repaired(std::string_view bytes, Replace replace) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  auto length = static_cast<std::int32_t>(bytes.size());
  std::string out;
  out.reserve(bytes.size() + 16);
  for (std::int32_t i = 0; i < length;) {
    std::int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    std::string_view part = bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
    if (c < 0) {
      replace(part, out);
    } else {
      out.append(part);
    }
  }
  return out;
}

}  // namespace

std::string valid_utf8(std::string_view bytes) {
  return repaired(bytes, [](std::string_view, std::string& out) { out += "\xEF\xBF\xBD"; });
}

std::string escaped_utf8(std::string_view bytes) {
  return repaired(bytes, [](std::string_view part, std::string& out) {
    for (char byte : part) {
      out += '%';
      append_hex_byte(out, static_cast<unsigned char>(byte), kUpperHexDigits);
    }
  });
}

bool is_ascii(std::string_view bytes) {
  for (char byte : bytes) {
    if (static_cast<unsigned char>(byte) >= 0x80) return false;
  }
  return true;
}

}  // namespace text
