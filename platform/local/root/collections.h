#pragma once

// The collections of the store: every folder directly under the root whose name
// does not start with ".", with its metadata files. A collection's kinds are read
// with the list; its title, color, source and writability only once asked for, so
// a command about events never reads a list's files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"
#include "platform/local/files/sys_file.h"

namespace platform::local {

struct Collection {
  std::string folder;  // the folder name: the calendarIdentifier
  CalendarRef calendar;  // null until read_calendar fills it
  bool serves_events = true;
  bool serves_reminders = true;
  // False until the kinds it serves are known: a folder without a `components` file
  // is told by its items (all VEVENT, all VTODO, else both), which the store looks at
  // only when it needs to.
  bool components_known = true;
};

// The collections in ascending byte order of folder name. Folders whose names are
// not valid UTF-8 cannot be named by an identifier and are left out. Metadata files
// are read only when they name a file of `owner`, the store's.
SysResult<std::vector<Collection>> read_collections(const std::string& root, uid_t owner);
// The calendar a collection's metadata files describe.
CalendarRef read_calendar(const std::string& root, const std::string& folder, uid_t owner);

// "#RRGGBB" or "#RRGGBBAA" (either case) as sRGB components; nothing otherwise.
std::optional<RgbComponents> parse_color_text(std::string_view text);

// Whether a folder's permission bits let its owner write into it.
bool folder_allows_modifications(const std::string& folder_path);

}  // namespace platform::local
