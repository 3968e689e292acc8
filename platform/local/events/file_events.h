#pragma once

// The events of one item file as an event query needs them, read once from libical's
// tree or from the index, and nothing in them settled for the machine's zone but the
// lengths (which `settle_lengths` works out again wherever they are read).

#include <libical/ical.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/events/event_component.h"
#include "platform/local/ical/item_parts.h"

namespace platform::local {

// An override with the revision that decides between two of one occurrence.
struct OverrideEvent {
  EventComponent event;
  Revision revision;
};

// The VEVENTs of one item (one UID): its master, when usable, and its overrides in
// file order.
struct ItemEvents {
  // "" for a file of one item, else "/" and the UID as identifiers show it.
  std::string identifier_suffix;
  std::optional<EventComponent> master;
  std::vector<OverrideEvent> overrides;
};

struct FileEvents {
  std::vector<ItemEvents> items;
  // A query walked one of the rules anew: its steps are worth keeping in the index.
  mutable bool rule_steps_changed = false;
};
using FileEventsRef = std::shared_ptr<const FileEvents>;

// The events of a parsed file: `root` is its VCALENDAR, the XROOT of a stream's
// VCALENDARs or a bare VEVENT; `text` is the file's text, whose own SUMMARY,
// LOCATION and DESCRIPTION lines are taken over libical's trimmed values (empty:
// libical's values).
FileEvents read_file_events(icalcomponent* root, std::string_view text);

}  // namespace platform::local
