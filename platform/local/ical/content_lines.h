#pragma once

// The content lines of an iCalendar text, located but not interpreted: where each
// logical line (with its folded continuations) begins and ends, and its name. The
// store edits item files line by line through this, so every line it does not
// change stays byte for byte as another tool wrote it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::local {

struct ContentLine {
  std::size_t begin = 0;  // offset of the first byte
  std::size_t end = 0;    // offset after the line break (or the text's end)
  std::string name;       // upper case; for BEGIN and END lines, "BEGIN" / "END"
  std::string component;  // BEGIN and END lines: the component's name, upper case
};

std::vector<ContentLine> split_content_lines(std::string_view text);

// The logical line without line breaks and fold white space.
std::string unfolded_line(std::string_view text, const ContentLine& line);
// The value of an unfolded line: what follows the first ":" outside quotes.
std::string_view line_value(std::string_view unfolded);

// A component in the line list: the indices of its BEGIN and END lines.
struct ComponentSpan {
  std::size_t begin_line = 0;
  std::size_t end_line = 0;
};

// Direct child components of `parent` (all top-level components when absent) named `name`.
std::vector<ComponentSpan> child_components(const std::vector<ContentLine>& lines,
                                            std::optional<ComponentSpan> parent, std::string_view name);
// Indices of the parent's own property lines named `name` (not those of nested components).
std::vector<std::size_t> own_properties(const std::vector<ContentLine>& lines, ComponentSpan parent,
                                        std::string_view name);

// Whether every END names the component its innermost open BEGIN began and every
// BEGIN is closed. Where they do not nest, libical and these lines may take
// different lines for the same component.
bool components_nest(const std::vector<ContentLine>& lines);

// The deepest nesting of BEGIN lines, read cheaply without splitting the text.
int nesting_depth(std::string_view text);

// The `kind` components of an item text in file order: inside its top-level
// VCALENDARs (a stream holds several), or at the top for a bare component.
std::vector<ComponentSpan> item_component_spans(const std::vector<ContentLine>& lines, std::string_view kind);

}  // namespace platform::local
