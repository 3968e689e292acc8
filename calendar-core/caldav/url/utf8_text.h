#pragma once

#include <string>
#include <string_view>

namespace caldav::url {

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD, one
// replacement per maximal ill-formed subpart (the WHATWG decoder's rule).
std::string replace_ill_formed_utf8(std::string_view text);

bool is_well_formed_utf8(std::string_view text);

bool is_ascii(std::string_view text);

}  // namespace caldav::url
