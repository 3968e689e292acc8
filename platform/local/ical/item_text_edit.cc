#include "platform/local/ical/item_text_edit.h"

#include <algorithm>

namespace platform::local {

namespace {

std::string with_line_breaks(const std::string& text, bool crlf) {
  if (crlf) return text;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::optional<ItemTextEdit> ItemTextEdit::open(std::string text, std::string_view kind, std::string_view product_id,
                                               std::size_t position) {
  // libical also breaks lines at a lone carriage return, these lines do not: the two
  // could take different lines for a component, so such a file is not written to.
  for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', cr + 1)) {
    if (cr + 1 >= text.size() || text[cr + 1] != '\n') return std::nullopt;
  }
  std::vector<ContentLine> lines = split_content_lines(text);
  // Lines that do not nest, or whose name does not end at ":" or ";" (which libical
  // may read otherwise), could put an edit in another component than the one libical
  // reads: such a file is not written to.
  if (!components_nest(lines)) return std::nullopt;
  for (const ContentLine& line : lines) {
    if (line.name.empty()) return std::nullopt;
  }
  auto calendars = child_components(lines, std::nullopt, "VCALENDAR");
  if (calendars.empty()) {
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:" + std::string(product_id) + "\r\n" + text + "END:VCALENDAR\r\n";
    lines = split_content_lines(text);
    calendars = child_components(lines, std::nullopt, "VCALENDAR");
    if (calendars.empty()) return std::nullopt;
  }
  auto items = item_component_spans(lines, kind);
  if (position >= items.size()) return std::nullopt;
  // The edited component's own VCALENDAR (a stream holds several) takes its time zones.
  const ComponentSpan& item = items[position];
  auto own = std::find_if(calendars.begin(), calendars.end(), [&](const ComponentSpan& calendar) {
    return calendar.begin_line < item.begin_line && item.end_line < calendar.end_line;
  });
  if (own == calendars.end()) return std::nullopt;
  return ItemTextEdit(std::move(text), std::move(lines), *own, std::move(items), position);
}

ItemTextEdit::ItemTextEdit(std::string text, std::vector<ContentLine> lines, ComponentSpan calendar,
                           std::vector<ComponentSpan> components, std::size_t position)
    : text_(std::move(text)),
      lines_(std::move(lines)),
      calendar_(calendar),
      components_(std::move(components)),
      item_(components_[position]) {
  // New lines follow the file's own line breaks.
  std::size_t first_break = text_.find('\n');
  crlf_ = first_break == std::string::npos || (first_break > 0 && text_[first_break - 1] == '\r');
  removed_.assign(lines_.size(), false);
}

void ItemTextEdit::insert_before(std::size_t line, const std::string& text, bool component) {
  (component ? inserted_components_ : inserted_).emplace(line, with_line_breaks(text, crlf_));
}

void ItemTextEdit::remove_lines(std::size_t first, std::size_t last) {
  for (std::size_t i = first; i <= last; ++i) removed_[i] = true;
}

void ItemTextEdit::remove_component(std::size_t position) {
  if (position < components_.size()) remove_lines(components_[position].begin_line, components_[position].end_line);
}

void ItemTextEdit::set_property(std::string_view name, const std::vector<std::string>& lines) {
  std::vector<std::size_t> existing;
  for (std::size_t index : own_properties(lines_, item_, name)) {
    if (!removed_[index]) existing.push_back(index);
  }
  std::size_t at = item_.end_line;
  if (!existing.empty()) {
    at = existing.front();
  } else {
    for (std::size_t i = item_.begin_line + 1; i < item_.end_line; ++i) {
      if (lines_[i].name == "BEGIN") {
        at = i;
        break;
      }
    }
  }
  for (std::size_t index : existing) removed_[index] = true;
  for (const auto& line : lines) insert_before(at, line);
}

void ItemTextEdit::set_children(std::string_view name, const std::vector<std::string>& blocks) {
  for (const ComponentSpan& child : child_components(lines_, item_, name)) remove_lines(child.begin_line, child.end_line);
  for (const auto& block : blocks) insert_before(item_.end_line, block, true);
}

void ItemTextEdit::put_time_zone(std::string_view tzid, const std::string& block) {
  if (!zones_put_.emplace(tzid).second) return;
  for (const ComponentSpan& zone : child_components(lines_, calendar_, "VTIMEZONE")) {
    for (std::size_t index : own_properties(lines_, zone, "TZID")) {
      if (line_value(unfolded_line(text_, lines_[index])) == tzid) {
        remove_lines(zone.begin_line, zone.end_line);
        insert_before(zone.begin_line, block);
        return;
      }
    }
  }
  insert_before(item_.begin_line, block);
}

std::string ItemTextEdit::finish() const {
  std::string out;
  out.reserve(text_.size() + 512);
  std::size_t cursor = 0;
  auto insertions = inserted_.begin();
  auto components = inserted_components_.begin();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out.append(text_, cursor, lines_[i].begin - cursor);
    for (; insertions != inserted_.end() && insertions->first == i; ++insertions) out += insertions->second;
    for (; components != inserted_components_.end() && components->first == i; ++components) out += components->second;
    if (!removed_[i]) out.append(text_, lines_[i].begin, lines_[i].end - lines_[i].begin);
    cursor = lines_[i].end;
  }
  out.append(text_, cursor, std::string::npos);
  return out;
}

}  // namespace platform::local
