#include "caldav/url/whatwg_url.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "caldav/url/host_parser.h"
#include "caldav/url/percent_encoding.h"
#include "caldav/url/url_input.h"

namespace caldav::url {

namespace {

constexpr int kEof = -1;

// The special schemes with an authority, and their default ports.
std::optional<std::uint16_t> default_port_of(std::string_view scheme) {
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "ftp") return 21;
  return std::nullopt;
}

bool is_ascii_alpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_ascii_digit(int c) { return c >= '0' && c <= '9'; }

char ascii_lower(int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ascii_lower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
  }
  return true;
}

bool is_single_dot_segment(std::string_view s) {
  return s == "." || equals_ignoring_case(s, "%2e");
}

bool is_double_dot_segment(std::string_view s) {
  return s == ".." || equals_ignoring_case(s, ".%2e") || equals_ignoring_case(s, "%2e.") ||
         equals_ignoring_case(s, "%2e%2e");
}

enum class State {
  scheme_start,
  scheme,
  special_authority_slashes,
  special_authority_ignore_slashes,
  authority,
  host,
  port,
  path_start,
  path,
  query,
  fragment,
};

// The basic URL parser without a base URL or state override, over UTF-8 bytes.
// Working byte by byte is exact here: every character the states test for is
// ASCII, and UTF-8 never uses ASCII bytes inside a multi-byte sequence.
class BasicUrlParser {
 public:
  explicit BasicUrlParser(std::string_view raw) : input_(prepare_url_input(raw)) {}

  std::optional<ParsedUrl> run() {
    while (true) {
      if (!step()) return std::nullopt;
      if (pointer_ >= size()) break;
      ++pointer_;
    }
    for (const std::string& segment : path_) {
      url_.path += '/';
      url_.path += segment;
    }
    return std::move(url_);
  }

 private:
  std::ptrdiff_t size() const { return static_cast<std::ptrdiff_t>(input_.size()); }

  int at(std::ptrdiff_t i) const {
    return i >= 0 && i < size() ? static_cast<unsigned char>(input_[static_cast<std::size_t>(i)])
                                : kEof;
  }

  std::string_view current_byte() const {
    return std::string_view(input_).substr(static_cast<std::size_t>(pointer_), 1);
  }

  // Ends the authority, the host, the port and a path segment in a special URL.
  static bool ends_component(int c) {
    return c == kEof || c == '/' || c == '?' || c == '#' || c == '\\';
  }

  bool step() {
    const int c = at(pointer_);
    switch (state_) {
      case State::scheme_start:
        if (!is_ascii_alpha(c)) return false;  // no scheme, and there is no base
        buffer_ += ascii_lower(c);
        state_ = State::scheme;
        return true;
      case State::scheme:
        return scheme(c);
      case State::special_authority_slashes:
        if (c == '/' && at(pointer_ + 1) == '/') {
          ++pointer_;
        } else {
          --pointer_;
        }
        state_ = State::special_authority_ignore_slashes;
        return true;
      case State::special_authority_ignore_slashes:
        if (c != '/' && c != '\\') {
          state_ = State::authority;
          --pointer_;
        }
        return true;
      case State::authority:
        return authority(c);
      case State::host:
        return host(c);
      case State::port:
        return port(c);
      case State::path_start:
        state_ = State::path;
        if (c != '/' && c != '\\') --pointer_;
        return true;
      case State::path:
        path(c);
        return true;
      case State::query:
        if (c == '#') {
          url_.fragment.emplace();
          state_ = State::fragment;
        } else if (c != kEof) {
          append_percent_encoded(*url_.query, current_byte(),
                                 EncodeSet::special_query);
        }
        return true;
      case State::fragment:
        if (c != kEof) {
          append_percent_encoded(*url_.fragment, current_byte(),
                                 EncodeSet::fragment);
        }
        return true;
    }
    return false;
  }

  bool scheme(int c) {
    if (is_ascii_alpha(c) || is_ascii_digit(c) || c == '+' || c == '-' || c == '.') {
      buffer_ += ascii_lower(c);
      return true;
    }
    if (c != ':') return false;  // no scheme, and there is no base
    default_port_ = default_port_of(buffer_);
    if (!default_port_) return false;  // "file" and non-special schemes are not read
    url_.scheme = std::move(buffer_);
    buffer_.clear();
    state_ = State::special_authority_slashes;
    return true;
  }

  bool authority(int c) {
    if (c == '@') {
      if (at_sign_seen_) buffer_.insert(0, "%40");
      at_sign_seen_ = true;
      // Only the last "@" ends the user info; earlier ones become part of it.
      for (const char ch : buffer_) {
        if (ch == ':' && !password_token_seen_) {
          password_token_seen_ = true;
          continue;
        }
        std::string& target = password_token_seen_ ? url_.password : url_.username;
        append_percent_encoded(target, std::string_view(&ch, 1), EncodeSet::userinfo);
      }
      buffer_.clear();
      return true;
    }
    if (ends_component(c)) {
      if (at_sign_seen_ && buffer_.empty()) return false;
      pointer_ -= static_cast<std::ptrdiff_t>(buffer_.size()) + 1;
      buffer_.clear();
      state_ = State::host;
      return true;
    }
    buffer_ += static_cast<char>(c);
    return true;
  }

  bool host(int c) {
    if (c == ':' && !inside_brackets_) {
      if (buffer_.empty()) return false;
      url_.host = parse_special_host(buffer_);
      if (!url_.host) return false;
      buffer_.clear();
      state_ = State::port;
      return true;
    }
    if (ends_component(c)) {
      --pointer_;
      if (buffer_.empty()) return false;
      url_.host = parse_special_host(buffer_);
      if (!url_.host) return false;
      buffer_.clear();
      state_ = State::path_start;
      return true;
    }
    if (c == '[') inside_brackets_ = true;
    if (c == ']') inside_brackets_ = false;
    buffer_ += static_cast<char>(c);
    return true;
  }

  bool port(int c) {
    if (is_ascii_digit(c)) {
      // Clamped above the largest port so that long digit runs cannot overflow.
      port_value_ = std::min<std::uint32_t>(port_value_ * 10 + static_cast<std::uint32_t>(c - '0'),
                                            65536);
      port_digits_ = true;
      return true;
    }
    if (!ends_component(c)) return false;
    if (port_digits_) {
      if (port_value_ > 65535) return false;
      if (port_value_ != *default_port_) url_.port = static_cast<std::uint16_t>(port_value_);
    }
    state_ = State::path_start;
    --pointer_;
    return true;
  }

  void path(int c) {
    if (!ends_component(c)) {
      append_percent_encoded(buffer_, current_byte(), EncodeSet::path);
      return;
    }
    const bool slash = c == '/' || c == '\\';
    if (is_double_dot_segment(buffer_)) {
      if (!path_.empty()) path_.pop_back();
      if (!slash) path_.emplace_back();
    } else if (is_single_dot_segment(buffer_)) {
      if (!slash) path_.emplace_back();
    } else {
      path_.push_back(std::move(buffer_));
    }
    buffer_.clear();
    if (c == '?') {
      url_.query.emplace();
      state_ = State::query;
    } else if (c == '#') {
      url_.fragment.emplace();
      state_ = State::fragment;
    }
  }

  std::string input_;
  std::ptrdiff_t pointer_ = 0;
  State state_ = State::scheme_start;
  std::string buffer_;
  bool at_sign_seen_ = false;
  bool inside_brackets_ = false;
  bool password_token_seen_ = false;
  std::optional<std::uint16_t> default_port_;
  std::uint32_t port_value_ = 0;
  bool port_digits_ = false;
  std::vector<std::string> path_;
  ParsedUrl url_;
};

}  // namespace

std::optional<ParsedUrl> parse_absolute_url(std::string_view input) {
  return BasicUrlParser(input).run();
}

std::optional<ParsedUrl> parse_absolute_url_authority(std::string_view input) {
  std::optional<ParsedUrl> url = BasicUrlParser(through_authority(input)).run();
  if (url) {
    url->path.clear();
    url->query.reset();
    url->fragment.reset();
  }
  return url;
}

}  // namespace caldav::url
