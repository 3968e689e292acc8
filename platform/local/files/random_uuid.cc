#include "platform/local/files/random_uuid.h"

#include <array>
#include <cstdint>
#include <random>

#include "text/hex_digits.h"

namespace platform::local {

std::string random_uuid() {
  std::random_device source;
  std::array<std::uint8_t, 16> bytes;
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    std::uint32_t word = source();
    for (std::size_t j = 0; j < 4; ++j) bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text::append_hex_byte(text, bytes[i], text::kLowerHexDigits);
  }
  return text;
}

}  // namespace platform::local
