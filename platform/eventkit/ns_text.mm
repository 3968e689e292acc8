#include "platform/eventkit/ns_text.h"

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
  return required([[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding],
                  "initWithBytes:length:encoding:");
}

NSString* _Nullable ns_string_or_nil(const std::optional<std::string>& text) {
  return text ? ns_string(*text) : nil;
}

}  // namespace platform::eventkit
