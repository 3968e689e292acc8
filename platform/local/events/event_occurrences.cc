#include "platform/local/events/event_occurrences.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <utility>

#include "platform/local/events/event_series.h"
#include "platform/local/ical/text_properties.h"

namespace platform::local {

namespace {

// As on macOS, a longer window is cut to its first four years.
constexpr double kLongestWindowSeconds = 4 * 365 * kDay;

std::optional<platform::TimeZone> zone_of(const EventComponent& event) {
  const IcalZone& zone = event.start.zone;
  if (event.is_all_day() || zone.kind == IcalZone::Kind::floating) return std::nullopt;
  return platform::TimeZone::named(zone.kind == IcalZone::Kind::utc ? "UTC" : zone.tzid);
}

platform::Event event_of(const EventComponent& event, const std::string& identifier,
                         const platform::CalendarRef& calendar, bool has_recurrence_rules, const TimeSpan& times) {
  return platform::Event{.event_identifier = identifier,
                         .calendar_item_identifier = identifier,
                         .external_identifier = event.uid,
                         .title = event.summary.value_or(""),
                         .location = event.location,
                         .notes = event.description,
                         .start_date = times.start,
                         .end_date = times.end,
                         .is_all_day = event.is_all_day(),
                         .calendar = calendar,
                         .time_zone = zone_of(event),
                         .has_recurrence_rules = has_recurrence_rules};
}

// An override's keys: its day, then its date's day or its instant.
enum KeyKind { kAnyOfDay, kDateOfDay, kInstant };
using OverrideKey = std::pair<KeyKind, double>;

std::vector<OverrideKey> keys_of(const OverrideEvent& o) {
  const IcalTime& id = *o.event.recurrence_id;
  double day = static_cast<double>(day_number(id.value));
  std::vector<OverrideKey> keys{{kAnyOfDay, day}};
  if (id.is_date()) {
    keys.emplace_back(kDateOfDay, day);
  } else if (auto at = instant_of(id.value, id.zone); at && !std::isnan(at->seconds_since_1970)) {
    keys.emplace_back(kInstant, at->seconds_since_1970);
  }
  return keys;
}

// The overrides of one item that name different occurrences. Two name the same one
// when either is a date and their days agree, or both are instants and agree. The
// newer revision (else the later in the file) wins, in the place of the first.
std::vector<const OverrideEvent*> distinct_overrides(const std::vector<OverrideEvent>& overrides) {
  std::vector<const OverrideEvent*> kept;
  std::set<std::pair<OverrideKey, std::size_t>> places;  // each kept one's keys, with its place
  // The first place with the key; SIZE_MAX when none.
  auto first_at = [&](const OverrideKey& key) {
    auto at = places.lower_bound({key, 0});
    return at != places.end() && at->first == key ? at->second : SIZE_MAX;
  };
  for (const OverrideEvent& o : overrides) {
    std::vector<OverrideKey> keys = keys_of(o);
    bool is_date = o.event.recurrence_id->is_date();
    // A date meets every override of its day; an instant, the dates of its day and itself.
    std::size_t same = first_at({is_date ? kAnyOfDay : kDateOfDay, keys[0].second});
    if (!is_date && keys.size() > 1) same = std::min(same, first_at(keys[1]));
    if (same == SIZE_MAX) {
      for (const OverrideKey& key : keys) places.insert({key, kept.size()});
      kept.push_back(&o);
    } else if (replaces_revision(o.revision, kept[same]->revision)) {
      for (const OverrideKey& key : keys_of(*kept[same])) places.erase({key, same});
      kept[same] = &o;
      for (const OverrideKey& key : keys) places.insert({key, same});
    }
  }
  return kept;
}

// An occurrence found, before it becomes an event: cheap to sort and cut short.
struct FoundOccurrence {
  TimeSpan times;
  const EventComponent* event;
  const EventSource* source;
  std::size_t identifier;  // of the item, in the list beside
  bool repeats;
};

}  // namespace

std::vector<platform::Event> events_in_window(const std::vector<EventSource>& sources, platform::Date start,
                                              platform::Date end, std::size_t limit) {
  // Also refuses a window with a NaN end, which compares false both ways.
  if (!(start < end) || !std::isfinite(start.seconds_since_1970)) return {};
  TimeSpan window{start, Date{std::min(end.seconds_since_1970, start.seconds_since_1970 + kLongestWindowSeconds)}};
  std::vector<std::string> identifiers;
  std::vector<FoundOccurrence> found;
  for (const EventSource& source : sources) {
    if (!source.events) continue;
    for (const ItemEvents& item : source.events->items) {
      // Without a master each override stands alone.
      std::vector<const OverrideEvent*> overrides = distinct_overrides(item.overrides);
      std::size_t identifier = identifiers.size();
      identifiers.push_back(source.identifier + item.identifier_suffix);
      bool repeats = item.master && item.master->has_rrule;
      if (item.master) {
        for (const TimeSpan& times :
             series_in_window(*item.master, window, overrides, source.events->rule_steps_changed)) {
          found.push_back({times, &*item.master, &source, identifier, repeats});
        }
      }
      // An override counts where it now lies, wherever the occurrence it replaces was.
      for (const OverrideEvent* o : overrides) {
        auto times = occurrence_at(o->event, o->event.start.value, o->event.start.zone);
        if (times && overlaps(*times, window)) found.push_back({*times, &o->event, &source, identifier, repeats});
      }
    }
  }
  auto order_key = [&](const FoundOccurrence& f) { return std::tie(f.times.start, identifiers[f.identifier]); };
  std::ranges::stable_sort(found, {}, order_key);
  if (found.size() > limit) found.resize(limit);
  std::vector<platform::Event> out;
  out.reserve(found.size());
  for (const FoundOccurrence& f : found) {
    out.push_back(event_of(*f.event, identifiers[f.identifier], f.source->calendar, f.repeats, f.times));
  }
  return out;
}

std::optional<platform::Event> stored_event(const ParsedItem& item, const ItemPart& part,
                                            platform::CalendarRef calendar) {
  // The file's own texts when its VEVENTs line up one to one with libical's.
  std::vector<EventTexts> texts = event_texts(item.text);
  std::size_t position = part.main_position();
  bool lined_up = texts.size() == item.count_of(ICAL_VEVENT_COMPONENT) && position < texts.size();
  FileZones zones(vcalendar_of(part.main()));
  auto event = read_event_component(part.main(), zones, lined_up ? &texts[position] : nullptr);
  auto times = event ? occurrence_at(*event, event->start.value, event->start.zone) : std::nullopt;
  if (!times) return std::nullopt;
  return event_of(*event, item.identifier_of(part), calendar, event->has_rrule, *times);
}

}  // namespace platform::local
