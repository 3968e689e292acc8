#pragma once

// Numbers in date texts: decimal digits written by std::to_chars, zero-padded as
// printf's "%0*llu" and "%0*lld" write them, and the "+hh:mm" of an offset.

#include <charconv>
#include <cstdint>
#include <string>

namespace bridge {

// At least `width` digits, zeros in front.
inline void append_padded(std::string& out, std::uint64_t value, int width) {
  char digits[20];
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (int i = static_cast<int>(end - digits); i < width; ++i) out.push_back('0');
  out.append(digits, end);
}

// A negative value's sign counts toward the width, as in "%02lld" of -5 ("-5").
inline void append_padded_signed(std::string& out, std::int64_t value, int width) {
  if (value >= 0) return append_padded(out, static_cast<std::uint64_t>(value), width);
  out.push_back('-');
  append_padded(out, 0ull - static_cast<std::uint64_t>(value), width - 1);
}

// "+hh:mm" or "-hh:mm"; seconds of an offset are dropped, as RFC 3339 has no place for them.
inline void append_offset(std::string& out, std::int64_t offset_seconds) {
  std::uint64_t magnitude = offset_seconds < 0 ? 0ull - static_cast<std::uint64_t>(offset_seconds)
                                               : static_cast<std::uint64_t>(offset_seconds);
  out.push_back(offset_seconds < 0 ? '-' : '+');
  append_padded(out, magnitude / 3600, 2);
  out.push_back(':');
  append_padded(out, magnitude % 3600 / 60, 2);
}

}  // namespace bridge
