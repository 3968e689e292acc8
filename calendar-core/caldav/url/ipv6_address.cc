#include "caldav/url/ipv6_address.h"

#include <charconv>

#include "text/hex_digits.h"

namespace caldav::url {

namespace {

using text::hex_value;

bool is_digit(int ch) { return ch >= '0' && ch <= '9'; }

// Reads the dotted IPv4 tail starting at `pointer` into two pieces.
bool parse_ipv4_tail(std::string_view text, std::size_t pointer, Ipv6Address& address,
                     std::size_t& piece_index) {
  auto at = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : -1; };
  if (piece_index > 6) return false;
  int numbers_seen = 0;
  while (at(pointer) != -1) {
    int ipv4_piece = -1;
    if (numbers_seen > 0) {
      if (at(pointer) == '.' && numbers_seen < 4) {
        ++pointer;
      } else {
        return false;
      }
    }
    if (!is_digit(at(pointer))) return false;
    while (is_digit(at(pointer))) {
      const int number = at(pointer) - '0';
      if (ipv4_piece == -1) {
        ipv4_piece = number;
      } else if (ipv4_piece == 0) {
        return false;  // a leading zero
      } else {
        ipv4_piece = ipv4_piece * 10 + number;
      }
      if (ipv4_piece > 255) return false;
      ++pointer;
    }
    address[piece_index] = static_cast<std::uint16_t>(address[piece_index] * 0x100 + ipv4_piece);
    ++numbers_seen;
    if (numbers_seen == 2 || numbers_seen == 4) ++piece_index;
  }
  return numbers_seen == 4;
}

}  // namespace

std::optional<Ipv6Address> parse_ipv6(std::string_view text) {
  auto at = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : -1; };
  Ipv6Address address{};
  std::size_t piece_index = 0;
  std::optional<std::size_t> compress;
  std::size_t pointer = 0;
  if (at(pointer) == ':') {
    if (at(pointer + 1) != ':') return std::nullopt;
    pointer += 2;
    ++piece_index;
    compress = piece_index;
  }
  while (at(pointer) != -1) {
    if (piece_index == 8) return std::nullopt;
    if (at(pointer) == ':') {
      if (compress) return std::nullopt;
      ++pointer;
      ++piece_index;
      compress = piece_index;
      continue;
    }
    unsigned value = 0;
    std::size_t length = 0;
    while (length < 4 && hex_value(at(pointer)) >= 0) {
      value = value * 0x10 + static_cast<unsigned>(hex_value(at(pointer)));
      ++pointer;
      ++length;
    }
    if (at(pointer) == '.') {
      if (length == 0) return std::nullopt;
      pointer -= length;
      if (!parse_ipv4_tail(text, pointer, address, piece_index)) return std::nullopt;
      break;
    }
    if (at(pointer) == ':') {
      ++pointer;
      if (at(pointer) == -1) return std::nullopt;
    } else if (at(pointer) != -1) {
      return std::nullopt;
    }
    address[piece_index] = static_cast<std::uint16_t>(value);
    ++piece_index;
  }
  if (compress) {
    std::size_t swaps = piece_index - *compress;
    piece_index = 7;
    while (piece_index != 0 && swaps > 0) {
      std::swap(address[piece_index], address[*compress + swaps - 1]);
      --piece_index;
      --swaps;
    }
  } else if (piece_index != 8) {
    return std::nullopt;
  }
  return address;
}

std::string serialize_ipv6(const Ipv6Address& address) {
  // The start of the first longest run of zero pieces, if that run is longer than one.
  std::optional<std::size_t> compress;
  std::size_t longest = 1;
  for (std::size_t i = 0; i < address.size();) {
    if (address[i] != 0) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < address.size() && address[end] == 0) ++end;
    if (end - i > longest) {
      longest = end - i;
      compress = i;
    }
    i = end;
  }
  std::string out;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (compress && i == *compress) {
      out += i == 0 ? "::" : ":";
      i += longest - 1;
      continue;
    }
    char piece[8];
    out.append(piece, std::to_chars(piece, piece + sizeof piece, address[i], 16).ptr);
    if (i != 7) out += ':';
  }
  return out;
}

}  // namespace caldav::url
