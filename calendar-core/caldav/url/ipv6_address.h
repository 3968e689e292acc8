#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace caldav::url {

using Ipv6Address = std::array<std::uint16_t, 8>;

// The text between the brackets of a URL host: hex pieces, at most one "::",
// optionally an embedded dotted-decimal IPv4 tail. Nothing when malformed.
std::optional<Ipv6Address> parse_ipv6(std::string_view text);

// Lower-case hex pieces with the first longest run of two or more zero pieces
// compressed to "::" (without the brackets).
std::string serialize_ipv6(const Ipv6Address& address);

}  // namespace caldav::url
