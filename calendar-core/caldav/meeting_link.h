#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldav {

// The first online-meeting link of the first text, else of the second.
std::optional<std::string> detect_meeting_link(std::optional<std::string_view> first,
                                               std::optional<std::string_view> second);

// The first candidate address of the text that points at a meeting host.
std::optional<std::string> find_meeting_link_in_text(std::string_view text);

}  // namespace caldav
