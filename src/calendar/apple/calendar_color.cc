#include "calendar/apple/calendar_color.h"

#include <algorithm>
#include <cmath>

#include "text/hex_digits.h"

namespace bridge {

namespace {

// Extended-range components (below 0 or above 1) are clamped; halves round away
// from zero; a component that is not a number counts as 0.
unsigned char component_byte(double component) {
  if (std::isnan(component)) return 0;
  double scaled = std::round(std::clamp(component, 0.0, 1.0) * 255.0);
  return static_cast<unsigned char>(std::clamp(scaled, 0.0, 255.0));
}

}  // namespace

std::optional<std::string> calendar_color_hex(const platform::Color& color) {
  if (!color.srgb) return std::nullopt;
  std::string text = "#";
  for (double component : {color.srgb->red, color.srgb->green, color.srgb->blue})
    text::append_hex_byte(text, component_byte(component), text::kUpperHexDigits);
  return text;
}

}  // namespace bridge
