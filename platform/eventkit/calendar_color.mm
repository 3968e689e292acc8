#include "platform/eventkit/calendar_color.h"

#include "platform/eventkit/nil_guard.h"

namespace platform::eventkit {

Color color_of(NSColor* _Nullable color) {
  if (color == nil) return {};
  NSColorSpace* srgb = required(NSColorSpace.sRGBColorSpace, "sRGBColorSpace");
  NSColor* converted = [color colorUsingColorSpace:srgb];
  if (converted == nil) return {};
  return Color{RgbComponents{converted.redComponent, converted.greenComponent, converted.blueComponent}};
}

}  // namespace platform::eventkit
