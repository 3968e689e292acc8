#include "platform/eventkit/ns_url.h"

#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {

NSURL* _Nullable ns_url(std::string_view text) {
  NSString* string = ns_string(text);
  if (@available(macOS 14.0, *)) return [NSURL URLWithString:string encodingInvalidCharacters:NO];
  return [NSURL URLWithString:string];
}

}  // namespace platform::eventkit
