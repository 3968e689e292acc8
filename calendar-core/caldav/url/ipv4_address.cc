#include "caldav/url/ipv4_address.h"

#include <vector>

namespace caldav::url {

namespace {

// Larger than any valid part; numbers are clamped here while their digits are
// still checked, so that no part can overflow.
constexpr std::uint64_t kTooLarge = std::uint64_t{1} << 32;

std::vector<std::string_view> split_on_dots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
}

int digit_value(char ch, int radix) {
  int value = -1;
  if (ch >= '0' && ch <= '9') value = ch - '0';
  if (ch >= 'a' && ch <= 'f') value = ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') value = ch - 'A' + 10;
  return value < radix ? value : -1;
}

std::optional<std::uint64_t> parse_ipv4_number(std::string_view part) {
  if (part.empty()) return std::nullopt;
  int radix = 10;
  if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
    part.remove_prefix(2);
    radix = 16;
  } else if (part.size() >= 2 && part[0] == '0') {
    part.remove_prefix(1);
    radix = 8;
  }
  std::uint64_t value = 0;
  for (const char ch : part) {
    const int digit = digit_value(ch, radix);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > kTooLarge) value = kTooLarge;
  }
  return value;
}

bool all_digits(std::string_view text) {
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return false;
  }
  return true;
}

}  // namespace

bool ends_in_a_number(std::string_view ascii_domain) {
  std::vector<std::string_view> parts = split_on_dots(ascii_domain);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  const std::string_view last = parts.back();
  if (!last.empty() && all_digits(last)) return true;
  return parse_ipv4_number(last).has_value();
}

std::optional<std::uint32_t> parse_ipv4(std::string_view ascii_domain) {
  std::vector<std::string_view> parts = split_on_dots(ascii_domain);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  if (parts.size() > 4) return std::nullopt;
  std::vector<std::uint64_t> numbers;
  for (const std::string_view part : parts) {
    const std::optional<std::uint64_t> number = parse_ipv4_number(part);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
    if (numbers[i] > 255) return std::nullopt;
  }
  const std::uint64_t limit = std::uint64_t{1} << (8 * (5 - numbers.size()));
  if (numbers.back() >= limit) return std::nullopt;
  std::uint64_t address = numbers.back();
  for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
    address += numbers[i] << (8 * (3 - i));
  }
  return static_cast<std::uint32_t>(address);
}

std::string serialize_ipv4(std::uint32_t address) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += std::to_string((address >> shift) & 0xFF);
    if (shift != 0) out += '.';
  }
  return out;
}

}  // namespace caldav::url
