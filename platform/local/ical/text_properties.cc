#include "platform/local/ical/text_properties.h"

#include <libical/ical.h>

namespace platform::local {

namespace {

// TEXT escapes (\n, \, \; \\) undone by libical, the spaces kept.
std::string unescaped(std::string_view raw) {
  std::string value(raw);
  icalvalue* parsed = icalvalue_new_from_string(ICAL_TEXT_VALUE, value.c_str());
  if (parsed == nullptr) return value;
  const char* text = icalvalue_get_text(parsed);
  std::string out = text ? text : "";
  icalvalue_free(parsed);
  return out;
}

}  // namespace

std::optional<std::string> text_property(std::string_view text, const std::vector<ContentLine>& lines,
                                         ComponentSpan span, std::string_view name) {
  std::vector<std::size_t> found = own_properties(lines, span, name);
  if (found.empty()) return std::nullopt;
  std::string line = unfolded_line(text, lines[found.front()]);
  return unescaped(line_value(line));
}

std::vector<EventTexts> event_texts(std::string_view text) {
  std::vector<ContentLine> lines = split_content_lines(text);
  std::vector<ComponentSpan> events = item_component_spans(lines, "VEVENT");
  std::vector<EventTexts> out;
  out.reserve(events.size());
  for (ComponentSpan span : events) {
    out.push_back(EventTexts{text_property(text, lines, span, "SUMMARY"), text_property(text, lines, span, "LOCATION"),
                             text_property(text, lines, span, "DESCRIPTION")});
  }
  return out;
}

}  // namespace platform::local
