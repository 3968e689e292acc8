// Temporary definitions until the meeting-link detector lands.
#include "caldav/meeting_link.h"
namespace caldav {
std::optional<std::string> detect_meeting_link(std::optional<std::string_view>, std::optional<std::string_view>) {
  return std::nullopt;
}
std::optional<std::string> find_meeting_link_in_text(std::string_view) { return std::nullopt; }
}  // namespace caldav
