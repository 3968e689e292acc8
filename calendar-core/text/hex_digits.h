#pragma once

// Hexadecimal digits, read and written.

#include <string>

namespace text {

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
inline constexpr char kLowerHexDigits[] = "0123456789abcdef";

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte as two digits of `digits`, high first.
inline void append_hex_byte(std::string& out, unsigned char byte, const char* digits) {
  out += digits[byte >> 4];
  out += digits[byte & 0xF];
}

}  // namespace text
