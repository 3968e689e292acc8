#pragma once

// A calendar's colour as sRGB components.

#import <AppKit/AppKit.h>

#include "platform/calendar.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

// No components when the calendar has no colour or the colour has no sRGB form.
Color color_of(NSColor* _Nullable color);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
