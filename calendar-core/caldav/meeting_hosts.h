#pragma once

#include <string_view>

namespace caldav {

// Whether a URL host, as the URL parser serialises it (lower-case ASCII, IDNA
// applied), belongs to one of the online-meeting services we offer to join.
bool is_meeting_host(std::string_view host);

}  // namespace caldav
