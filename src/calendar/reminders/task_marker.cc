#include "calendar/reminders/task_marker.h"

#include "text/hex_digits.h"
#include "text/utf8_text.h"

namespace bridge::reminders {
namespace {

constexpr std::string_view kMarkerPrefix = "zolt-task:";

bool is_unreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
         byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

std::string marker_text(std::string_view client_id) {
  std::string text(kMarkerPrefix);
  text += client_id;
  return text;
}

// Every byte but the unreserved ones as %HH. An identifier of unreserved bytes
// only (every one the application makes) stays as it is. The rule is fixed, so
// each system writes the same bytes whatever its URL parser takes.
std::string percent_encoded(std::string_view client_id) {
  std::string text;
  for (unsigned char byte : client_id) {
    if (is_unreserved(byte)) {
      text += static_cast<char>(byte);
    } else {
      text += '%';
      text::append_hex_byte(text, byte, text::kUpperHexDigits);
    }
  }
  return text;
}

// The inverse of percent_encoded for its own output; nothing for any other text.
std::optional<std::string> percent_decoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      if (!is_unreserved(static_cast<unsigned char>(text[i]))) return std::nullopt;
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = text::hex_value(text[i + 1]), low = text::hex_value(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    // Lower-case digits are not what the encoder writes.
    if (text[i + 1] != text::kUpperHexDigits[high] || text[i + 2] != text::kUpperHexDigits[low]) return std::nullopt;
    unsigned char byte = static_cast<unsigned char>(high * 16 + low);
    if (is_unreserved(byte)) return std::nullopt;
    decoded += static_cast<char>(byte);
    i += 2;
  }
  return decoded;
}

}  // namespace

std::optional<platform::Url> task_marker_url(platform::Platform& platform, std::string_view client_id) {
  return platform.url_with_string(marker_text(percent_encoded(client_id)));
}

std::optional<std::string> client_id_from_url(const std::optional<platform::Url>& url) {
  if (!url) return std::nullopt;
  std::string_view text = url->absolute_string;
  if (text.size() < kMarkerPrefix.size() || text.substr(0, kMarkerPrefix.size()) != kMarkerPrefix) {
    return std::nullopt;
  }
  std::string_view rest = text.substr(kMarkerPrefix.size());
  // The encoded form, or else the text as it stands: markers that earlier
  // versions wrote unencoded (such as "a/b") read as they are.
  std::optional<std::string> decoded = percent_decoded(rest);
  if (decoded && text::is_valid_utf8(*decoded)) return decoded;
  return std::string(rest);
}

bool carries_task_marker(const platform::Reminder& reminder, std::string_view client_id) {
  std::optional<std::string> carried = client_id_from_url(reminder.url());
  return carried && *carried == client_id;
}

}  // namespace bridge::reminders
