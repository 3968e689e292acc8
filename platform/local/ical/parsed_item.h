#pragma once

// One item file of a collection as the store read it: its bytes, what libical
// made of them, and which file version that was.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "platform/local/ical/ical_handles.h"
#include "platform/local/ical/item_parts.h"
#include "platform/local/files/sys_file.h"

namespace platform::local {

struct ParsedItem {
  std::string folder;
  std::string name;  // the file name without ".ics"
  std::string text;
  FileStamp stamp;
  // VCALENDAR, the XROOT that libical puts a stream's VCALENDARs under, or a bare
  // VEVENT / VTODO.
  IcalComponentPtr root;
  icalcomponent* main = nullptr;  // the main component of the file's first item
  icalcomponent_kind kind = ICAL_NO_COMPONENT;  // the kind of the file's first item
  // The file's items (see item_parts); without libical's tree, their UIDs and kinds only.
  std::vector<ItemPart> parts;

  bool holds_several() const { return parts.size() > 1; }
  // The file's identifier, "<folder>/<name>": that of its item when it holds one.
  std::string identifier() const { return folder + "/" + name; }
  // The identifier of one of its items: for a file holding several, followed by
  // "/" and the item's UID.
  std::string identifier_of(const ItemPart& part) const;
  // The `kind` item of that identifier's UID (none: the file's only item); null
  // when the file holds no such item, or more than one that the UID could name.
  const ItemPart* part_named(const std::optional<std::string>& uid, icalcomponent_kind kind) const;
  // How many `kind` components libical read in the file, across its VCALENDARs. The
  // line editor must see as many, so that a position names the same component for both.
  std::size_t count_of(icalcomponent_kind kind) const { return item_component_count(root.get(), kind); }
};

using ParsedItemRef = std::shared_ptr<const ParsedItem>;

// The same file version without libical's tree: all a reminder needs to be saved
// once it has been read, at a fraction of the memory.
ParsedItemRef text_only(const ParsedItem& item);

// The same file version with libical's tree: the item itself, or its kept text
// parsed once more. Null when that text no longer parses.
ParsedItemRef with_tree(ParsedItemRef item);

// Parses an item's text; nothing when it does not parse or holds neither a VEVENT
// nor a VTODO. Texts nested deeper than any item needs are refused before libical
// sees them.
std::optional<ParsedItem> parse_item_text(std::string text);

// "<folder>/<name>" or "<folder>/<name>/<UID>" split up, when it can name an item
// of a collection (a UID may hold "/" itself).
struct ItemName {
  std::string folder;
  std::string name;
  std::optional<std::string> uid;
};
std::optional<ItemName> split_item_identifier(std::string_view identifier);

// Whether a directory entry's name is an item file name ("x.ics", not hidden).
bool is_item_file_name(std::string_view file_name);

}  // namespace platform::local
