#include "caldav/url/host_parser.h"

#include "caldav/url/domain_to_ascii.h"
#include "caldav/url/ipv4_address.h"
#include "caldav/url/ipv6_address.h"
#include "caldav/url/percent_encoding.h"
#include "text/utf8_text.h"

namespace caldav::url {

std::optional<std::string> parse_special_host(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.front() == '[') {
    if (text.size() < 2 || text.back() != ']') return std::nullopt;
    const std::optional<Ipv6Address> address = parse_ipv6(text.substr(1, text.size() - 2));
    if (!address) return std::nullopt;
    return "[" + serialize_ipv6(*address) + "]";
  }
  // Percent-encoded bytes are decoded before IDNA, so "%2E" is a real dot and
  // bytes that do not form UTF-8 make the host invalid.
  const std::string domain = percent_decode(text);
  if (!text::is_valid_utf8(domain)) return std::nullopt;
  std::optional<std::string> ascii_domain = domain_to_ascii(domain);
  if (!ascii_domain) return std::nullopt;
  if (ends_in_a_number(*ascii_domain)) {
    const std::optional<std::uint32_t> address = parse_ipv4(*ascii_domain);
    if (!address) return std::nullopt;
    return serialize_ipv4(*address);
  }
  return ascii_domain;
}

}  // namespace caldav::url
