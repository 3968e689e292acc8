#include "platform/local/text/foundation_url_syntax.h"

namespace platform::local {

namespace {

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// unreserved, gen-delims and sub-delims of RFC 3986 ("%" is checked apart).
bool is_url_character(char c) {
  if (is_alpha(c) || is_digit(c)) return true;
  switch (c) {
    case '-': case '.': case '_': case '~':
    case ':': case '/': case '?': case '#': case '[': case ']': case '@':
    case '!': case '$': case '&': case '\'': case '(': case ')':
    case '*': case '+': case ',': case ';': case '=':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool foundation_url_accepts(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || !is_alpha(text[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    char c = text[i];
    if (!is_alpha(c) && !is_digit(c) && c != '+' && c != '-' && c != '.') return false;
  }
  bool fragment = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size() || !is_hex(text[i + 1]) || !is_hex(text[i + 2])) return false;
      i += 2;
      continue;
    }
    if (!is_url_character(c)) return false;
    if (c == '#') {
      if (fragment) return false;
      fragment = true;
    }
  }
  return true;
}

}  // namespace platform::local
