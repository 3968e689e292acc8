#pragma once

// Text properties read as the file wrote them. libical's parser trims the spaces
// around a value and drops a property whose value is empty, so "  Lunch  " would
// read as "Lunch" and an empty DESCRIPTION as none: these come from the lines.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/ical/content_lines.h"

namespace platform::local {

// The value of the span's first own property `name`, TEXT escapes undone; nothing
// when the component has no such property.
std::optional<std::string> text_property(std::string_view text, const std::vector<ContentLine>& lines,
                                         ComponentSpan span, std::string_view name);

// An event component's texts.
struct EventTexts {
  std::optional<std::string> summary;
  std::optional<std::string> location;
  std::optional<std::string> description;
};

// The texts of each VEVENT of an item text (inside its VCALENDARs, or the bare
// VEVENT), in the order of the file.
std::vector<EventTexts> event_texts(std::string_view text);

}  // namespace platform::local
