#include "caldav/url/url_input.h"

#include "text/utf8_text.h"

namespace caldav::url {

namespace {

bool is_c0_control_or_space(char ch) { return static_cast<unsigned char>(ch) <= 0x20; }

bool is_tab_or_newline(char ch) { return ch == '\t' || ch == '\n' || ch == '\r'; }

}  // namespace

std::string prepare_url_input(std::string_view raw) {
  // Decoding comes first: dropping a tab must not join two stray bytes into a
  // well-formed sequence.
  const std::string text = text::valid_utf8(raw);
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_c0_control_or_space(text[begin])) ++begin;
  while (end > begin && is_c0_control_or_space(text[end - 1])) --end;
  std::string input;
  input.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    if (!is_tab_or_newline(text[i])) input += text[i];
  }
  return input;
}

std::string_view through_authority(std::string_view raw) {
  // No scheme character is ":", so the first one ends the scheme (or the input
  // has no valid scheme and fails either way).
  const std::size_t colon = raw.find(':');
  if (colon == std::string_view::npos) return raw;
  std::size_t start = colon + 1;
  while (start < raw.size() &&
         (raw[start] == '/' || raw[start] == '\\' || is_tab_or_newline(raw[start]))) {
    ++start;
  }
  const std::size_t end = raw.find_first_of("/\\?#", start);
  return end == std::string_view::npos ? raw : raw.substr(0, end + 1);
}

}  // namespace caldav::url
