#pragma once

// The items of one parsed file. A file normally holds one item, but a calendar
// exported from another program holds many in one VCALENDAR, or in several
// VCALENDARs one after another (an iCalendar stream): every UID is one item of each
// kind, its components grouped by that UID across the whole file. Of two masters of one UID
// (two revisions) the one with the higher SEQUENCE wins, then the later
// LAST-MODIFIED, then the later DTSTAMP, then the later in the file.

#include <libical/ical.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::local {

// One VEVENT or VTODO of a file and where it stands among the file's components of
// its kind, counted across its VCALENDARs in file order (the line editor finds it
// again by that position).
struct PartComponent {
  icalcomponent* component = nullptr;
  std::size_t position = 0;
};

struct ItemPart {
  std::string uid;  // empty for components without a UID
  // How identifiers of a file holding several items name this one: its UID, each
  // byte that is no UTF-8 escaped; for an item without a UID, "#" and the start of
  // the SHA-256 of its component's text, so a stale identifier names no other item.
  std::string key;
  icalcomponent_kind kind = ICAL_NO_COMPONENT;
  std::optional<PartComponent> master;  // the winning revision without RECURRENCE-ID
  std::vector<PartComponent> stale;     // the revisions it won over, in file order
  std::vector<PartComponent> overrides;  // components with a RECURRENCE-ID, in file order

  // The item's main component: its master, else its first override.
  icalcomponent* main() const;
  // The position of that component, where a save of the item writes.
  std::size_t main_position() const;
};

// The UID as an item's identifier shows it: always valid UTF-8, distinct UIDs
// distinct.
std::string uid_in_identifier(const std::string& uid);

// The revision of a component as comparable fields; an absent time is the earliest.
struct Revision {
  int sequence = 0;
  std::optional<icaltimetype> last_modified;
  std::optional<icaltimetype> stamp;
};
Revision revision_of(icalcomponent* component);

// Whether `later` (which comes after `earlier` in the file) replaces it as a
// revision: it does unless `earlier` has the higher SEQUENCE, or the same and a
// later LAST-MODIFIED, or both the same and a later DTSTAMP.
bool replaces_revision(const Revision& later, const Revision& earlier);

// The VCALENDARs of a parsed text in file order: the root itself, or the objects of
// a stream (libical puts them under an XROOT); none for a bare component.
std::vector<icalcomponent*> calendars_of(icalcomponent* root);
// How many `kind` components a parsed text holds as items: in all its VCALENDARs,
// or the bare component itself.
std::size_t item_component_count(icalcomponent* root, icalcomponent_kind kind);
// The VCALENDAR whose VTIMEZONEs a component's TZIDs name: its own; null for a bare
// component.
icalcomponent* vcalendar_of(icalcomponent* component);

// The items of a text's VCALENDARs in order of their first component, or the one
// item of a bare VEVENT or VTODO; `root` is what libical made of `text`. A UID's
// VEVENTs and its VTODOs are two items. Each component without a UID is an item of
// its own.
std::vector<ItemPart> item_parts(icalcomponent* root, std::string_view text);

}  // namespace platform::local
