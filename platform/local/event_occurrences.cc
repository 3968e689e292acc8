#include "platform/local/event_occurrences.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/local/event_component.h"
#include "platform/local/event_series.h"

namespace platform::local {

namespace {

// As on macOS, a longer window is cut to its first four years.
constexpr double kLongestWindowSeconds = 4 * 365 * 86400.0;

std::optional<platform::TimeZone> zone_of(const EventComponent& event) {
  if (event.is_all_day()) return std::nullopt;
  switch (event.start.zone.kind) {
    case IcalZone::Kind::utc: return platform::TimeZone::named("UTC");
    case IcalZone::Kind::zoned: return platform::TimeZone::named(event.start.zone.tzid);
    case IcalZone::Kind::floating: break;
  }
  return std::nullopt;
}

platform::Event event_of(const EventComponent& event, const EventItem& item, bool has_recurrence_rules,
                         const OccurrenceTimes& times) {
  platform::Event out;
  out.event_identifier = item.identifier;
  out.calendar_item_identifier = item.identifier;
  out.external_identifier = event.uid;
  out.title = event.summary.value_or("");
  out.location = event.location;
  out.notes = event.description;
  out.start_date = times.start;
  out.end_date = times.end;
  out.is_all_day = event.is_all_day();
  out.calendar = item.calendar;
  out.time_zone = zone_of(event);
  out.has_recurrence_rules = has_recurrence_rules;
  return out;
}

// The VEVENTs of an item: the whole component when it is a bare VEVENT. Their texts
// come from the file's lines when its VEVENTs line up one to one with libical's.
std::vector<EventComponent> components_of(icalcomponent* root, std::string_view text) {
  std::vector<EventComponent> found;
  std::vector<EventTexts> texts = text.empty() ? std::vector<EventTexts>{} : event_texts(text);
  if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT) {
    const EventTexts* own = texts.size() == 1 ? &texts.front() : nullptr;
    if (auto event = read_event_component(root, nullptr, nullptr, own)) found.push_back(std::move(*event));
    return found;
  }
  if (icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT) return found;
  FileZones zones(root);
  bool lined_up = texts.size() == static_cast<std::size_t>(icalcomponent_count_components(root, ICAL_VEVENT_COMPONENT));
  std::size_t index = 0;
  for (icalcompiter it = icalcomponent_begin_component(root, ICAL_VEVENT_COMPONENT); icalcompiter_deref(&it) != nullptr;
       icalcompiter_next(&it), ++index) {
    const EventTexts* own = lined_up ? &texts[index] : nullptr;
    if (auto event = read_event_component(icalcompiter_deref(&it), root, &zones, own)) found.push_back(std::move(*event));
  }
  return found;
}

bool names_same_occurrence(const IcalTime& a, const IcalTime& b) {
  if (a.is_date() || b.is_date()) return day_number(a.value) == day_number(b.value);
  auto first = instant_of(a.value, a.zone);
  auto second = instant_of(b.value, b.zone);
  return first && second && *first == *second;
}

void add_item_events(const EventItem& item, const Window& window, std::vector<platform::Event>& out) {
  if (item.vcalendar == nullptr) return;
  // libical takes no const components; nothing below changes the item's content.
  std::vector<EventComponent> events = components_of(const_cast<icalcomponent*>(item.vcalendar), item.text);
  auto master = std::find_if(events.begin(), events.end(), [](const EventComponent& e) { return !e.recurrence_id; });

  // Overrides of the master (its UID, a RECURRENCE-ID); of two naming the same
  // occurrence the later one in the file wins. Without a master each stands alone.
  std::vector<const EventComponent*> overrides;
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    if (!it->recurrence_id) continue;
    if (master != events.end() && it->uid != master->uid) continue;
    bool named_already = std::any_of(overrides.begin(), overrides.end(), [&](const EventComponent* kept) {
      return names_same_occurrence(*kept->recurrence_id, *it->recurrence_id);
    });
    if (!named_already) overrides.push_back(&*it);
  }

  bool repeats = master != events.end() && master->has_rrule;
  if (master != events.end()) {
    std::vector<IcalTime> overridden;
    for (const EventComponent* o : overrides) overridden.push_back(*o->recurrence_id);
    for (const OccurrenceTimes& times : series_in_window(*master, window, overridden)) {
      out.push_back(event_of(*master, item, repeats, times));
    }
  }
  // An override counts where it now lies, wherever the occurrence it replaces was.
  for (auto it = overrides.rbegin(); it != overrides.rend(); ++it) {
    const EventComponent& moved = **it;
    auto times = occurrence_at(moved, moved.start.value, moved.start.zone);
    if (times && overlaps(*times, window)) out.push_back(event_of(moved, item, repeats, *times));
  }
}

}  // namespace

std::vector<platform::Event> events_in_window(const std::vector<EventItem>& items, platform::Date start,
                                              platform::Date end) {
  // Also refuses a window with a NaN end, which compares false both ways.
  if (!(start < end) || !std::isfinite(start.seconds_since_1970)) return {};
  Window window{start, Date{std::min(end.seconds_since_1970, start.seconds_since_1970 + kLongestWindowSeconds)}};
  std::vector<platform::Event> found;
  for (const EventItem& item : items) add_item_events(item, window, found);
  // Sorting positions moves each event once rather than at every swap.
  std::vector<std::size_t> order(found.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const platform::Event& x = found[a];
    const platform::Event& y = found[b];
    if (x.start_date != y.start_date) return x.start_date < y.start_date;
    return x.calendar_item_identifier < y.calendar_item_identifier;
  });
  std::vector<platform::Event> out;
  out.reserve(found.size());
  for (std::size_t i : order) out.push_back(std::move(found[i]));
  return out;
}

}  // namespace platform::local
