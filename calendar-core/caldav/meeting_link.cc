#include "caldav/meeting_link.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

#include "caldav/meeting_hosts.h"
#include "caldav/url/whatwg_url.h"
#include "text/white_space.h"

namespace caldav {

namespace {

constexpr std::string_view kLinkStart = "https://";

bool is_terminator(UChar32 c) {
  switch (c) {
    case '"': case ')': case '<': case '>': case ']':
      return true;
    default:
      // Ill-formed bytes (negative) belong to the candidate.
      return c >= 0 && text::is_white_space(static_cast<char32_t>(c));
  }
}

// The offset of the first terminator at or after `from`, or the text's end.
std::size_t find_candidate_end(std::string_view text, std::size_t from) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::size_t i = from;
  while (i < text.size()) {
    const std::size_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, text.size(), c);
    if (is_terminator(c)) return start;
  }
  return text.size();
}

// The end once full stops, commas and semicolons at the end are dropped.
std::size_t drop_trailing_punctuation(std::string_view text, std::size_t end) {
  while (end > 0 && (text[end - 1] == '.' || text[end - 1] == ',' || text[end - 1] == ';')) {
    --end;
  }
  return end;
}

bool points_at_meeting_host(std::string_view candidate) {
  // Only the authority decides; parsing just that keeps the work linear in the
  // text even when one long word holds many "https://".
  const std::optional<url::ParsedUrl> parsed = url::parse_absolute_url_authority(candidate);
  return parsed && parsed->scheme == "https" && parsed->username.empty() &&
         parsed->password.empty() && parsed->host && is_meeting_host(*parsed->host);
}

}  // namespace

std::optional<std::string> find_meeting_link_in_text(std::string_view text) {
  // Occurrences inside one candidate share its end, so the end is found once
  // for all of them.
  std::size_t end = 0;
  std::size_t trimmed_end = 0;
  for (std::size_t start = text.find(kLinkStart); start != std::string_view::npos;
       start = text.find(kLinkStart, start + kLinkStart.size())) {
    if (start >= end) {
      end = find_candidate_end(text, start);
      // "https://" holds no trailing punctuation, so this never cuts into it.
      trimmed_end = drop_trailing_punctuation(text, end);
    }
    const std::string_view candidate = text.substr(start, trimmed_end - start);
    if (points_at_meeting_host(candidate)) return std::string(candidate);
  }
  return std::nullopt;
}

}  // namespace caldav
