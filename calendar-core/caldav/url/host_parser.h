#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldav::url {

// The host of a special URL, from the non-empty text between the authority's
// user info and its port, serialised: a lower-case ASCII domain, a dotted IPv4
// address, or an IPv6 address in brackets. Nothing when the host is invalid.
std::optional<std::string> parse_special_host(std::string_view text);

}  // namespace caldav::url
