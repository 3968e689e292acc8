#include "platform/local/events/file_events.h"

#include <map>

#include "platform/local/ical/text_properties.h"

namespace platform::local {

FileEvents read_file_events(icalcomponent* root, std::string_view text) {
  FileEvents file;
  if (root == nullptr) return file;
  std::vector<ItemPart> parts = item_parts(root, text);
  // Texts come from the file's lines when its VEVENTs line up one to one with libical's.
  std::vector<EventTexts> texts = text.empty() ? std::vector<EventTexts>{} : event_texts(text);
  bool lined_up = texts.size() == item_component_count(root, ICAL_VEVENT_COMPONENT);
  // A TZID names a VTIMEZONE of the component's own VCALENDAR; each is read once.
  std::map<icalcomponent*, FileZones> zones;
  auto read = [&](const PartComponent& c) {
    icalcomponent* vcalendar = vcalendar_of(c.component);
    FileZones& own = zones.try_emplace(vcalendar, vcalendar).first->second;
    return read_event_component(c.component, vcalendar, &own, lined_up ? &texts[c.position] : nullptr);
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
