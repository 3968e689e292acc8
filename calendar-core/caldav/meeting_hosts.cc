#include "caldav/meeting_hosts.h"

#include <array>

namespace caldav {

namespace {

// Hosts that are meeting links as they are.
constexpr std::array<std::string_view, 8> kExactHosts = {
    "teams.microsoft.com",  // Microsoft Teams, business
    "teams.live.com",       // Microsoft Teams, consumer
    "teams.cloud.microsoft",  // Microsoft Teams, cloud
    "meet.google.com",      // Google Meet
    "facetime.apple.com",   // FaceTime web links
    "zoom.us",              // Zoom
    "zoom.com",             // Zoom
    "zoomgov.com",          // ZoomGov
};

// Services whose companies get their own sub-domains ("acme.zoom.us"); the
// leading dot keeps "evilzoom.us" out.
constexpr std::array<std::string_view, 3> kHostSuffixes = {
    ".zoom.us",
    ".zoom.com",
    ".zoomgov.com",
};

}  // namespace

bool is_meeting_host(std::string_view host) {
  for (const std::string_view exact : kExactHosts) {
    if (host == exact) return true;
  }
  for (const std::string_view suffix : kHostSuffixes) {
    if (host.size() > suffix.size() && host.ends_with(suffix)) return true;
  }
  return false;
}

}  // namespace caldav
