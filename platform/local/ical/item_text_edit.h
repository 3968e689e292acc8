#pragma once

// Edits an item file's text line by line: replaces the properties and child
// components it is told to and leaves every other byte as it was, so what another
// tool wrote (unknown properties, parameters, components, folding) survives a save.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/ical/content_lines.h"

namespace platform::local {

class ItemTextEdit {
 public:
  // Edits the `position`th `kind` component (VTODO, VEVENT) of the text, counted
  // across its VCALENDARs in file order (a stream holds several). Nothing when there
  // is no such component, the components do not nest or the text holds a carriage
  // return without a line feed. A bare component is wrapped in a VCALENDAR first,
  // where its time zones can go.
  static std::optional<ItemTextEdit> open(std::string text, std::string_view kind, std::string_view product_id,
                                          std::size_t position = 0);

  // How many `kind` components the VCALENDARs hold, as these lines see them.
  std::size_t component_count() const { return components_.size(); }
  // Removes the `position`th `kind` component whole (the edited one too).
  void remove_component(std::size_t position);

  // Replaces the item's own properties named `name` with `lines` (iCalendar text,
  // each ending with a line break); no lines removes them. New ones go where the
  // first old one was, else before the item's first child component.
  void set_property(std::string_view name, const std::vector<std::string>& lines);
  // Replaces every child component of the item named `name` with `blocks`.
  void set_children(std::string_view name, const std::vector<std::string>& blocks);
  // Puts a VTIMEZONE of that TZID into the edited component's VCALENDAR, replacing
  // one of the same TZID there.
  void put_time_zone(std::string_view tzid, const std::string& block);

  std::string finish() const;

 private:
  ItemTextEdit(std::string text, std::vector<ContentLine> lines, ComponentSpan calendar,
               std::vector<ComponentSpan> components, std::size_t position);
  // Child components go after the properties inserted at the same line.
  void insert_before(std::size_t line, const std::string& text, bool component = false);
  void remove_lines(std::size_t first, std::size_t last);

  std::string text_;
  std::vector<ContentLine> lines_;
  ComponentSpan calendar_;                 // the edited component's VCALENDAR
  std::vector<ComponentSpan> components_;  // the text's components of the edited kind
  ComponentSpan item_;
  bool crlf_ = true;
  std::vector<bool> removed_;
  std::multimap<std::size_t, std::string> inserted_;  // before line index; equal keys keep their order
  std::multimap<std::size_t, std::string> inserted_components_;
  std::set<std::string, std::less<>> zones_put_;
};

}  // namespace platform::local
