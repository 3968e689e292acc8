#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace caldav::url {

// Whether the last label of an ASCII domain (ignoring one trailing dot) reads as
// a number, which makes the whole host an IPv4 address or a failure.
bool ends_in_a_number(std::string_view ascii_domain);

// One to four dotted parts in decimal, octal ("0" prefix) or hex ("0x" prefix);
// the last part fills the remaining bytes. Nothing for a malformed or too large
// address.
std::optional<std::uint32_t> parse_ipv4(std::string_view ascii_domain);

// Dotted decimal: "127.0.0.1".
std::string serialize_ipv4(std::uint32_t address);

}  // namespace caldav::url
