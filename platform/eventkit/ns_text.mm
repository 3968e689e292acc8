#include "platform/eventkit/ns_text.h"

#include <vector>

#include "platform/eventkit/nil_guard.h"

namespace platform::eventkit {

std::string text_of(NSString* string) {
  const char* bytes = string.UTF8String;
  if (bytes == nullptr) return {};
  return std::string(bytes, [string lengthOfBytesUsingEncoding:NSUTF8StringEncoding]);
}

std::optional<std::string> optional_text_of(NSString* _Nullable string) {
  if (string == nil) return std::nullopt;
  return text_of(string);
}

NSString* ns_string(std::string_view text) {
  // Reading UTF-8 bytes drops a leading byte order mark, which is part of the
  // text here: leading ones are put back as characters.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t marks = 0;
  while (text.substr(marks * kByteOrderMark.size(), kByteOrderMark.size()) == kByteOrderMark) ++marks;
  std::string_view rest = text.substr(marks * kByteOrderMark.size());
  NSString* string = required([[NSString alloc] initWithBytes:rest.data() length:rest.size()
                                                     encoding:NSUTF8StringEncoding],
                              "initWithBytes:length:encoding:");
  if (marks == 0) return string;
  std::vector<unichar> leading(marks, unichar{0xFEFF});
  NSString* head = required([[NSString alloc] initWithCharacters:leading.data() length:leading.size()],
                            "initWithCharacters:length:");
  return required([head stringByAppendingString:string], "stringByAppendingString:");
}

NSString* _Nullable ns_string_or_nil(const std::optional<std::string>& text) {
  return text ? ns_string(*text) : nil;
}

}  // namespace platform::eventkit
