#pragma once

// One item file of a collection as the store read it: its bytes, what libical
// made of them, and which file version that was.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local/ical_handles.h"
#include "platform/local/sys_file.h"

namespace platform::local {

struct ParsedItem {
  std::string folder;
  std::string name;  // the file name without ".ics"
  std::string text;
  FileStamp stamp;
  IcalComponentPtr root;          // VCALENDAR, or a bare VEVENT / VTODO
  icalcomponent* main = nullptr;  // the item's first VEVENT or VTODO
  icalcomponent_kind kind = ICAL_NO_COMPONENT;

  std::string identifier() const { return folder + "/" + name; }
  // The VCALENDAR whose VTIMEZONEs the item's TZIDs name; null for a bare component.
  icalcomponent* vcalendar() const {
    return icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT ? root.get() : nullptr;
  }
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

// "<folder>/<name>" split in two, when it can name an item file of a collection.
struct ItemName {
  std::string folder;
  std::string name;
};
std::optional<ItemName> split_item_identifier(std::string_view identifier);

// Whether a directory entry's name is an item file name ("x.ics", not hidden).
bool is_item_file_name(std::string_view file_name);

}  // namespace platform::local
