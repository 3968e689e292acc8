// The URL parser and the meeting-link finder. The text is parsed whole and up to
// its authority (both must agree on success and on the authority's fields), then
// searched for meeting links alone and split at its first NUL byte into two texts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "caldav/meeting_link.h"
#include "caldav/url/whatwg_url.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto whole = caldav::url::parse_absolute_url(text);
  const auto authority = caldav::url::parse_absolute_url_authority(text);
  check(whole.has_value() == authority.has_value());
  if (whole && authority) {
    check(whole->scheme == authority->scheme && whole->username == authority->username &&
          whole->password == authority->password && whole->host == authority->host &&
          whole->port == authority->port);
  }

  (void)caldav::find_meeting_link_in_text(text);
  return 0;
}
