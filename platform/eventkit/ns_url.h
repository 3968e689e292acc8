#pragma once

// URLs handed to the calendar database.

#import <Foundation/Foundation.h>

#include <string_view>

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

// The URL of exactly this text; nil when the text is no valid URL. (Programs
// built against newer systems get invalid characters percent-encoded by plain
// URLWithString: instead, which would change the text.)
NSURL* _Nullable ns_url(std::string_view text);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
