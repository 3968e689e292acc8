#include "platform/local/parsed_item.h"

#include "platform/local/content_lines.h"
#include "platform/local/utf8_text.h"

namespace platform::local {

namespace {

// VCALENDAR > VTODO > VALARM and VCALENDAR > VTIMEZONE > STANDARD are three deep.
constexpr int kDeepestItem = 16;

icalcomponent* first_item_component(icalcomponent* root) {
  icalcomponent_kind kind = icalcomponent_isa(root);
  if (kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT) return root;
  if (kind != ICAL_VCALENDAR_COMPONENT) return nullptr;
  for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
       c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
    icalcomponent_kind child = icalcomponent_isa(c);
    if (child == ICAL_VEVENT_COMPONENT || child == ICAL_VTODO_COMPONENT) return c;
  }
  return nullptr;
}

}  // namespace

std::optional<ParsedItem> parse_item_text(std::string text) {
  if (nesting_depth(text) > kDeepestItem) return std::nullopt;
  IcalComponentPtr root(icalparser_parse_string(text.c_str()));
  if (!root) return std::nullopt;
  icalcomponent* main = first_item_component(root.get());
  if (!main) return std::nullopt;
  ParsedItem item;
  item.text = std::move(text);
  item.kind = icalcomponent_isa(main);
  item.main = main;
  item.root = std::move(root);
  return item;
}

ParsedItemRef with_tree(ParsedItemRef item) {
  if (!item || item->root) return item;
  auto again = parse_item_text(item->text);
  if (!again) return nullptr;
  again->folder = item->folder;
  again->name = item->name;
  again->stamp = item->stamp;
  return std::make_shared<const ParsedItem>(std::move(*again));
}

ParsedItemRef text_only(const ParsedItem& item) {
  auto copy = std::make_shared<ParsedItem>();
  copy->folder = item.folder;
  copy->name = item.name;
  copy->text = item.text;
  copy->stamp = item.stamp;
  copy->kind = item.kind;
  return copy;
}

bool is_item_file_name(std::string_view file_name) {
  constexpr std::string_view kSuffix = ".ics";
  return file_name.size() > kSuffix.size() && file_name.front() != '.' &&
         file_name.substr(file_name.size() - kSuffix.size()) == kSuffix && is_valid_utf8(file_name);
}

std::optional<ItemName> split_item_identifier(std::string_view identifier) {
  std::size_t slash = identifier.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == identifier.size()) return std::nullopt;
  std::string_view folder = identifier.substr(0, slash);
  std::string_view name = identifier.substr(slash + 1);
  if (folder.front() == '.' || name.front() == '.' || name.find('/') != std::string_view::npos ||
      identifier.find('\0') != std::string_view::npos || !is_valid_utf8(identifier)) {
    return std::nullopt;
  }
  return ItemName{std::string(folder), std::string(name)};
}

}  // namespace platform::local
