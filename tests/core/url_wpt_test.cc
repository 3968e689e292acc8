// The URL parser against the web-platform-tests URL parser data
// (tests/data/url/urltestdata.json; see the README there).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/wpt_data.h"
#include "caldav/url/whatwg_url.h"

namespace {

using caldav::url::parse_absolute_url;
using caldav::url::parse_absolute_url_authority;
using caldav::url::ParsedUrl;
using nlohmann::json;

using wpt::printable;
using wpt::read_file;
using wpt::test_cases;

std::string hostname_of(const ParsedUrl& url) { return url.host.value_or(""); }

std::string host_of(const ParsedUrl& url) {
  return url.port ? hostname_of(url) + ":" + std::to_string(*url.port) : hostname_of(url);
}

std::string describe(const std::optional<ParsedUrl>& url) {
  if (!url) return "failure";
  return "username=" + url->username + " password=" + url->password +
         " host=" + host_of(*url) + " path=" + url->path +
         " query=" + url->query.value_or("(none)") +
         " fragment=" + url->fragment.value_or("(none)");
}

// One failure per mismatching entry, so that none is cut from the report.
void report(const std::vector<std::string>& mismatches) {
  for (const std::string& mismatch : mismatches) ADD_FAILURE() << mismatch;
}

// Compares everything the URL object's getters show, and checks that the
// authority-only parse agrees on success and on every authority field.
void compare(const json& expected, std::vector<std::string>& mismatches) {
  const std::string input = expected["input"];
  const std::optional<ParsedUrl> url = parse_absolute_url(input);
  const std::optional<ParsedUrl> authority = parse_absolute_url_authority(input);
  const auto mismatch = [&](const std::string& what) {
    mismatches.push_back(printable(input) + ": " + what + "; got " + describe(url));
  };
  if (url.has_value() != authority.has_value()) mismatch("authority-only parse disagrees");
  if (expected.value("failure", false)) {
    if (url) mismatch("expected failure");
    return;
  }
  if (!url) return mismatch("unexpected failure");
  const std::string search = url->query && !url->query->empty() ? "?" + *url->query : "";
  const std::string hash = url->fragment && !url->fragment->empty() ? "#" + *url->fragment : "";
  const std::string port = url->port ? std::to_string(*url->port) : "";
  if (url->scheme + ":" != expected["protocol"]) mismatch("protocol");
  if (url->username != expected["username"]) mismatch("username");
  if (url->password != expected["password"]) mismatch("password");
  if (hostname_of(*url) != expected["hostname"]) mismatch("hostname");
  if (host_of(*url) != expected["host"]) mismatch("host");
  if (port != expected["port"]) mismatch("port");
  if (url->path != expected["pathname"]) mismatch("pathname");
  if (search != expected["search"]) mismatch("search");
  if (hash != expected["hash"]) mismatch("hash");
  if (authority && (authority->scheme != url->scheme || authority->username != url->username ||
                    authority->password != url->password || authority->host != url->host ||
                    authority->port != url->port)) {
    mismatch("authority-only parse reads another authority");
  }
}

// Whether the input names one of the schemes the parser reads (the special
// schemes with an authority), as the parser would see it.
bool names_supported_scheme(const std::string& input) {
  std::string text;
  for (const char ch : input) {
    if (ch == '\t' || ch == '\n' || ch == '\r') continue;
    if (text.empty() && static_cast<unsigned char>(ch) <= 0x20) continue;
    text += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  for (const char* scheme : {"http:", "https:", "ws:", "wss:", "ftp:"}) {
    if (text.rfind(scheme, 0) == 0) return true;
  }
  return false;
}

TEST(UrlWptTest, HttpsInputsWithoutBaseAgreeOnEveryField) {
  std::vector<std::string> mismatches;
  int checked = 0;
  for (const json& entry : test_cases(read_file("urltestdata.json"))) {
    if (!entry["base"].is_null()) continue;
    if (entry["input"].get<std::string>().rfind("https://", 0) != 0) continue;
    compare(entry, mismatches);
    ++checked;
  }
  EXPECT_EQ(checked, 44);
  report(mismatches);
}

// The same parser serves http, ws, wss and ftp; their entries widen the check.
TEST(UrlWptTest, OtherSpecialSchemesWithoutBaseAgree) {
  std::vector<std::string> mismatches;
  int checked = 0;
  for (const json& entry : test_cases(read_file("urltestdata.json"))) {
    if (!entry["base"].is_null()) continue;
    const std::string input = entry["input"];
    if (input.rfind("https://", 0) == 0 || !names_supported_scheme(input)) continue;
    compare(entry, mismatches);
    ++checked;
  }
  EXPECT_GT(checked, 150);
  report(mismatches);
}

}  // namespace
