#include "platform/local/ical/content_lines.h"

#include <algorithm>
#include <cstring>

namespace platform::local {

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool starts_with_keyword(std::string_view line, std::string_view keyword) {
  if (line.size() < keyword.size()) return false;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (upper(line[i]) != keyword[i]) return false;
  }
  return true;
}

std::string upper_trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), upper);
  return out;
}

// Offset just after the physical line that starts at `from`.
std::size_t physical_line_end(std::string_view text, std::size_t from) {
  const void* found = std::memchr(text.data() + from, '\n', text.size() - from);
  if (!found) return text.size();
  return static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1;
}

}  // namespace

std::vector<ContentLine> split_content_lines(std::string_view text) {
  std::vector<ContentLine> lines;
  // A byte order mark (some Windows programs write one) lies before the first line,
  // so it is kept as it is.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t at = text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  while (at < text.size()) {
    ContentLine line;
    line.begin = at;
    line.end = physical_line_end(text, at);
    while (line.end < text.size() && (text[line.end] == ' ' || text[line.end] == '\t')) {
      line.end = physical_line_end(text, line.end);
    }
    at = line.end;
    // The name is read where it stands; only a name cut by a fold needs the line unfolded.
    std::size_t name_end = line.begin;
    while (name_end < line.end && is_name_char(text[name_end])) ++name_end;
    bool folded_name = name_end < line.end && (text[name_end] == '\r' || text[name_end] == '\n') &&
                       name_end + 2 < line.end;
    std::string unfolded;
    std::string_view name = text.substr(line.begin, name_end - line.begin);
    if (folded_name) {
      unfolded = unfolded_line(text, line);
      std::size_t end = 0;
      while (end < unfolded.size() && is_name_char(unfolded[end])) ++end;
      name = std::string_view(unfolded).substr(0, end);
    }
    if (name.empty()) {
      if (unfolded_line(text, line).empty()) continue;  // a blank line
    }
    // As libical reads it, a name ends at ":" or ";": "BEGIN':VTODO" begins nothing.
    std::size_t after = folded_name ? name.size() : name_end - line.begin;
    std::string_view rest = folded_name ? std::string_view(unfolded) : text.substr(line.begin, line.end - line.begin);
    if (after >= rest.size() || (rest[after] != ':' && rest[after] != ';')) name = {};
    line.name = upper_trimmed(name);
    if (line.name == "BEGIN" || line.name == "END") {
      if (unfolded.empty()) unfolded = unfolded_line(text, line);
      line.component = upper_trimmed(line_value(unfolded));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string unfolded_line(std::string_view text, const ContentLine& line) {
  std::string out;
  out.reserve(line.end - line.begin);
  bool line_start = true;
  for (std::size_t i = line.begin; i < line.end; ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      line_start = true;
      continue;
    }
    // The first space or tab of a continuation line belongs to the fold.
    if (line_start && i != line.begin && (c == ' ' || c == '\t')) {
      line_start = false;
      continue;
    }
    line_start = false;
    out.push_back(c);
  }
  return out;
}

std::string_view line_value(std::string_view unfolded) {
  bool quoted = false;
  for (std::size_t i = 0; i < unfolded.size(); ++i) {
    if (unfolded[i] == '"') quoted = !quoted;
    if (unfolded[i] == ':' && !quoted) return unfolded.substr(i + 1);
  }
  return {};
}

std::vector<ComponentSpan> child_components(const std::vector<ContentLine>& lines,
                                            std::optional<ComponentSpan> parent, std::string_view name) {
  std::vector<ComponentSpan> found;
  std::size_t from = parent ? parent->begin_line + 1 : 0;
  std::size_t to = parent ? parent->end_line : lines.size();
  std::vector<std::size_t> open;  // BEGIN lines not yet closed, innermost last
  for (std::size_t i = from; i < to; ++i) {
    if (lines[i].name == "BEGIN") {
      open.push_back(i);
    } else if (lines[i].name == "END" && !open.empty()) {
      std::size_t begin = open.back();
      open.pop_back();
      if (open.empty() && lines[begin].component == name && lines[i].component == name) found.push_back({begin, i});
    }
  }
  return found;
}

bool components_nest(const std::vector<ContentLine>& lines) {
  std::vector<const std::string*> open;
  for (const ContentLine& line : lines) {
    if (line.name == "BEGIN") {
      open.push_back(&line.component);
    } else if (line.name == "END") {
      if (open.empty() || *open.back() != line.component) return false;
      open.pop_back();
    }
  }
  return open.empty();
}

std::vector<std::size_t> own_properties(const std::vector<ContentLine>& lines, ComponentSpan parent,
                                        std::string_view name) {
  std::vector<std::size_t> found;
  int depth = 0;
  for (std::size_t i = parent.begin_line + 1; i < parent.end_line; ++i) {
    if (lines[i].name == "BEGIN") {
      ++depth;
    } else if (lines[i].name == "END") {
      if (depth > 0) --depth;
    } else if (depth == 0 && lines[i].name == name) {
      found.push_back(i);
    }
  }
  return found;
}

int nesting_depth(std::string_view text) {
  int depth = 0, deepest = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::string_view line = text.substr(at, std::min<std::size_t>(6, text.size() - at));
    if (starts_with_keyword(line, "BEGIN:")) {
      deepest = std::max(deepest, ++depth);
    } else if (starts_with_keyword(line, "END:")) {
      depth = std::max(0, depth - 1);
    }
    at = physical_line_end(text, at);
  }
  return deepest;
}

std::vector<ComponentSpan> item_component_spans(const std::vector<ContentLine>& lines, std::string_view kind) {
  auto calendars = child_components(lines, std::nullopt, "VCALENDAR");
  if (calendars.empty()) return child_components(lines, std::nullopt, kind);
  std::vector<ComponentSpan> found;
  for (ComponentSpan calendar : calendars) {
    auto inside = child_components(lines, calendar, kind);
    found.insert(found.end(), inside.begin(), inside.end());
  }
  return found;
}

}  // namespace platform::local
