#include "caldav/url/percent_encoding.h"

#include <string_view>

namespace caldav::url {

namespace {

bool in_set(unsigned char byte, EncodeSet set) {
  if (byte < 0x20 || byte > 0x7E) return true;
  constexpr std::string_view kFragment = " \"<>`";
  constexpr std::string_view kSpecialQuery = " \"#<>'";
  constexpr std::string_view kPath = " \"#<>?^`{}";
  constexpr std::string_view kUserinfo = " \"#<>?^`{}/:;=@[\\]|";
  const char ch = static_cast<char>(byte);
  switch (set) {
    case EncodeSet::c0_control:
      return false;
    case EncodeSet::fragment:
      return kFragment.find(ch) != std::string_view::npos;
    case EncodeSet::special_query:
      return kSpecialQuery.find(ch) != std::string_view::npos;
    case EncodeSet::path:
      return kPath.find(ch) != std::string_view::npos;
    case EncodeSet::userinfo:
      return kUserinfo.find(ch) != std::string_view::npos;
  }
  return true;
}

int hex_value(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

}  // namespace

void append_percent_encoded(std::string& out, std::string_view utf8, EncodeSet set) {
  constexpr char kUpperHex[] = "0123456789ABCDEF";
  for (const char ch : utf8) {
    const auto byte = static_cast<unsigned char>(ch);
    if (in_set(byte, set)) {
      out += '%';
      out += kUpperHex[byte >> 4];
      out += kUpperHex[byte & 0xF];
    } else {
      out += ch;
    }
  }
}

std::string percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
        hex_value(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace caldav::url
