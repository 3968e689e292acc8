#include "platform/local/events/file_events.h"

#include "platform/local/ical/text_properties.h"

namespace platform::local {

FileEvents read_file_events(icalcomponent* root, std::string_view text) {
  FileEvents file;
  if (root == nullptr) return file;
  std::vector<ItemPart> parts = item_parts(root, text);
  icalcomponent* vcalendar = icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT ? root : nullptr;
  // Texts come from the file's lines when its VEVENTs line up one to one with libical's.
  std::vector<EventTexts> texts = text.empty() ? std::vector<EventTexts>{} : event_texts(text);
  std::size_t vevents = vcalendar ? static_cast<std::size_t>(icalcomponent_count_components(vcalendar, ICAL_VEVENT_COMPONENT)) : 1;
  bool lined_up = texts.size() == vevents;
  FileZones zones(vcalendar);
  auto read = [&](const PartComponent& c) {
    return read_event_component(c.component, vcalendar, &zones, lined_up ? &texts[c.position] : nullptr);
  };
  for (const ItemPart& part : parts) {
    if (part.kind != ICAL_VEVENT_COMPONENT) continue;
    ItemEvents item;
    if (parts.size() > 1) item.identifier_suffix = "/" + part.key;
    if (part.master) item.master = read(*part.master);
    for (const PartComponent& c : part.overrides) {
      auto event = read(c);
      if (event && event->recurrence_id) item.overrides.push_back(OverrideEvent{std::move(*event), revision_of(c.component)});
    }
    file.items.push_back(std::move(item));
  }
  return file;
}

}  // namespace platform::local
