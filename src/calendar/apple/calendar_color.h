#pragma once

#include <optional>
#include <string>

#include "platform/calendar.h"

namespace bridge {

// "#" and six upper-case hex digits of the colour's sRGB form (red, green, blue);
// nothing when the colour has no sRGB form.
std::optional<std::string> calendar_color_hex(const platform::Color& color);

}  // namespace bridge
