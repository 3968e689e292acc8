#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace caldav::url {

// An absolute URL as the WHATWG URL Standard's basic URL parser records it.
// Every field is in its serialised form: user name and password percent-encoded,
// the host lower-case ASCII (IDNA applied) or an IP address in its canonical text.
struct ParsedUrl {
  std::string scheme;
  std::string username;
  std::string password;
  std::optional<std::string> host;
  std::optional<std::uint16_t> port;  // absent for the scheme's default port
  std::string path;                   // "/" and the segments, e.g. "/a/b"
  std::optional<std::string> query;   // without the "?"
  std::optional<std::string> fragment;  // without the "#"
};

// Parses UTF-8 text as an absolute URL with no base. Handles the special schemes
// that carry an authority (ftp, http, https, ws, wss); "file", other schemes and
// relative references give nothing, as does every input the Standard rejects.
// Ill-formed UTF-8 is read as U+FFFD, as a decoder with replacement would.
std::optional<ParsedUrl> parse_absolute_url(std::string_view input);

// The same parse, but it stops after the authority: scheme, user name, password,
// host and port are what parse_absolute_url gives, and it succeeds exactly when
// parse_absolute_url does (what follows the authority cannot make a special URL
// fail). Path, query and fragment are left empty. Its work is bounded by the
// length of the authority, not of the whole input.
std::optional<ParsedUrl> parse_absolute_url_authority(std::string_view input);

}  // namespace caldav::url
