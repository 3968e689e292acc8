#include "platform/local/ical/parsed_item.h"

#include "platform/local/ical/content_lines.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

// VCALENDAR > VTODO > VALARM and VCALENDAR > VTIMEZONE > STANDARD are three deep.
constexpr int kDeepestItem = 16;

}  // namespace

std::string ParsedItem::identifier_of(const ItemPart& part) const {
  return holds_several() ? identifier() + "/" + part.key : identifier();
}

const ItemPart* ParsedItem::part_named(const std::optional<std::string>& uid, icalcomponent_kind kind) const {
  if (!uid) return parts.size() == 1 && parts.front().kind == kind ? &parts.front() : nullptr;
  // Two items may show as the same text (a UID that looks like another's escaped
  // bytes): such an identifier names no item rather than the wrong one.
  const ItemPart* found = nullptr;
  for (const ItemPart& part : parts) {
    if (part.kind != kind || part.key != *uid) continue;
    if (found) return nullptr;
    found = &part;
  }
  return found;
}

std::optional<ParsedItem> parse_item_text(std::string text) {
  if (nesting_depth(text) > kDeepestItem) return std::nullopt;
  IcalComponentPtr root(icalparser_parse_string(text.c_str()));
  if (!root) return std::nullopt;
  std::vector<ItemPart> parts = item_parts(root.get(), text);
  if (parts.empty()) return std::nullopt;
  ParsedItem item;
  item.text = std::move(text);
  item.kind = parts.front().kind;
  item.main = parts.front().main();
  item.parts = std::move(parts);
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
  copy->parts.reserve(item.parts.size());
  for (const ItemPart& part : item.parts) copy->parts.push_back(ItemPart{part.uid, part.key, part.kind, {}, {}, {}});
  return copy;
}

bool is_item_file_name(std::string_view file_name) {
  constexpr std::string_view kSuffix = ".ics";
  return file_name.size() > kSuffix.size() && file_name.front() != '.' &&
         file_name.substr(file_name.size() - kSuffix.size()) == kSuffix && text::is_valid_utf8(file_name);
}

std::optional<ItemName> split_item_identifier(std::string_view identifier) {
  std::size_t slash = identifier.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == identifier.size()) return std::nullopt;
  std::string_view folder = identifier.substr(0, slash);
  std::string_view name = identifier.substr(slash + 1);
  std::optional<std::string> uid;
  if (std::size_t second = name.find('/'); second != std::string_view::npos) {
    uid = std::string(name.substr(second + 1));
    name = name.substr(0, second);
  }
  if (folder.front() == '.' || name.empty() || name.front() == '.' || identifier.find('\0') != std::string_view::npos ||
      !text::is_valid_utf8(identifier)) {
    return std::nullopt;
  }
  return ItemName{std::string(folder), std::string(name), std::move(uid)};
}

}  // namespace platform::local
