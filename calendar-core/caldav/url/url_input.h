#pragma once

#include <string>
#include <string_view>

namespace caldav::url {

// The parser's view of raw input: ill-formed UTF-8 replaced by U+FFFD, leading
// and trailing C0 controls and spaces removed, and every tab, line feed and
// carriage return dropped.
std::string prepare_url_input(std::string_view raw);

// The shortest prefix of a special URL's raw text that decides its scheme, user
// info, host and port: up to and including the first "/", "\", "?" or "#" after
// the slashes that follow the scheme, or all of it. Ending on that delimiter
// keeps the trailing-space trimming of the whole input out of the authority.
std::string_view through_authority(std::string_view raw);

}  // namespace caldav::url
