#include "caldav/url/percent_encoding.h"

#include <string_view>

#include "text/hex_digits.h"

namespace caldav::url {

namespace {

using text::hex_value;

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

}  // namespace

void append_percent_encoded(std::string& out, std::string_view utf8, EncodeSet set) {
  for (const char ch : utf8) {
    const auto byte = static_cast<unsigned char>(ch);
    if (in_set(byte, set)) {
      out += '%';
      text::append_hex_byte(out, byte, text::kUpperHexDigits);
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
