#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldav::url {

// The URL Standard's domain parser (not strict) for a well-formed UTF-8 domain:
// an ASCII domain is lower-cased as it is; any other goes through UTS #46
// ToASCII with the Standard's options. Nothing when IDNA rejects the domain, the
// result is empty, or it holds a forbidden domain code point.
std::optional<std::string> domain_to_ascii(std::string_view domain);

}  // namespace caldav::url
