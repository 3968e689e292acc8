#pragma once

// Text between the calendar database and the bridge: UTF-8 bytes both ways.

#import <Foundation/Foundation.h>

#include <optional>
#include <string>
#include <string_view>

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

// The string's UTF-8 bytes; the empty text when it has no UTF-8 form.
std::string text_of(NSString* string);
// Nothing for nil.
std::optional<std::string> optional_text_of(NSString* _Nullable string);
// A string of the given UTF-8 bytes (the bridge only hands over valid UTF-8).
NSString* ns_string(std::string_view text);
NSString* _Nullable ns_string_or_nil(const std::optional<std::string>& text);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
