#pragma once

// Numbers in date texts: decimal digits, zero-padded as printf's "%0*llu" and
// "%0*lld" write them, without printf's machinery (a reminder list writes tens of
// thousands of dates).

#include <cstdint>
#include <string>

namespace bridge {

// At least `width` digits, zeros in front.
inline void append_padded(std::string& out, std::uint64_t value, int width) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = count; i < width; ++i) out.push_back('0');
  while (count > 0) out.push_back(digits[--count]);
}

// A negative value's sign counts toward the width, as in "%02lld" of -5 ("-5").
inline void append_padded_signed(std::string& out, std::int64_t value, int width) {
  if (value >= 0) return append_padded(out, static_cast<std::uint64_t>(value), width);
  out.push_back('-');
  append_padded(out, 0ull - static_cast<std::uint64_t>(value), width - 1);
}

}  // namespace bridge
