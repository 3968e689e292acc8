#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldav {

// The first candidate address of the text that points at a meeting host.
std::optional<std::string> find_meeting_link_in_text(std::string_view text);

}  // namespace caldav
