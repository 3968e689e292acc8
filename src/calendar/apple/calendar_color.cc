#include "calendar/apple/calendar_color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bridge {

namespace {

// Extended-range components (below 0 or above 1) are clamped; halves round away
// from zero; a component that is not a number counts as 0.
int component_byte(double component) {
  if (std::isnan(component)) return 0;
  double scaled = std::round(std::clamp(component, 0.0, 1.0) * 255.0);
  return static_cast<int>(std::clamp(scaled, 0.0, 255.0));
}

}  // namespace

std::optional<std::string> calendar_color_hex(const platform::Color& color) {
  if (!color.srgb) return std::nullopt;
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", component_byte(color.srgb->red),
                component_byte(color.srgb->green), component_byte(color.srgb->blue));
  return std::string(text);
}

}  // namespace bridge
