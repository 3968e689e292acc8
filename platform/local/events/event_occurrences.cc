#include "platform/local/events/event_occurrences.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <optional>

#include "platform/local/events/event_component.h"
#include "platform/local/events/event_series.h"

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

platform::Event event_of(const EventComponent& event, const std::string& identifier,
                         const platform::CalendarRef& calendar, bool has_recurrence_rules, const OccurrenceTimes& times) {
  platform::Event out;
  out.event_identifier = identifier;
  out.calendar_item_identifier = identifier;
  out.external_identifier = event.uid;
  out.title = event.summary.value_or("");
  out.location = event.location;
  out.notes = event.description;
  out.start_date = times.start;
  out.end_date = times.end;
  out.is_all_day = event.is_all_day();
  out.calendar = calendar;
  out.time_zone = zone_of(event);
  out.has_recurrence_rules = has_recurrence_rules;
  return out;
}

bool names_same_occurrence(const IcalTime& a, const IcalTime& b) {
  if (a.is_date() || b.is_date()) return day_number(a.value) == day_number(b.value);
  auto first = instant_of(a.value, a.zone);
  auto second = instant_of(b.value, b.zone);
  return first && second && *first == *second;
}

// An occurrence found, before it becomes an event: sorting and cutting these costs
// nothing like building every event of a window the caller cuts short.
struct FoundOccurrence {
  OccurrenceTimes times;
  const EventComponent* event;
  const EventSource* source;
  std::size_t identifier;  // of the item, in the list beside
  bool repeats;
};

void add_file_events(const EventSource& source, const Window& window, std::vector<std::string>& identifiers,
                     std::vector<FoundOccurrence>& out) {
  if (!source.events) return;
  for (const ItemEvents& item : source.events->items) {
    // Of two overrides naming the same occurrence the newer revision wins (the later
    // in the file when neither is newer). Without a master each stands alone.
    std::vector<const OverrideEvent*> overrides;
    for (const OverrideEvent& o : item.overrides) {
      auto same = std::find_if(overrides.begin(), overrides.end(), [&](const OverrideEvent* kept) {
        return names_same_occurrence(*kept->event.recurrence_id, *o.event.recurrence_id);
      });
      if (same == overrides.end()) {
        overrides.push_back(&o);
      } else if (replaces_revision(o.revision, (*same)->revision)) {
        *same = &o;
      }
    }

    std::size_t identifier = identifiers.size();
    identifiers.push_back(source.identifier + item.identifier_suffix);
    const std::optional<EventComponent>& master = item.master;
    bool repeats = master && master->has_rrule;
    if (master) {
      std::vector<IcalTime> overridden;
      for (const OverrideEvent* o : overrides) overridden.push_back(*o->event.recurrence_id);
      for (const OccurrenceTimes& times :
           series_in_window(*master, window, overridden, &source.events->rule_steps_changed)) {
        out.push_back(FoundOccurrence{times, &*master, &source, identifier, repeats});
      }
    }
    // An override counts where it now lies, wherever the occurrence it replaces was.
    for (const OverrideEvent* o : overrides) {
      const EventComponent& moved = o->event;
      auto times = occurrence_at(moved, moved.start.value, moved.start.zone);
      if (times && overlaps(*times, window)) out.push_back(FoundOccurrence{*times, &moved, &source, identifier, repeats});
    }
  }
}

}  // namespace

std::vector<platform::Event> events_in_window(const std::vector<EventItem>& items, platform::Date start,
                                              platform::Date end) {
  std::vector<EventSource> sources;
  sources.reserve(items.size());
  for (const EventItem& item : items) {
    // libical takes no const components; reading changes nothing in the item.
    auto events = std::make_shared<FileEvents>(read_file_events(const_cast<icalcomponent*>(item.vcalendar), item.text));
    sources.push_back(EventSource{std::move(events), item.identifier, item.calendar});
  }
  return events_in_window(sources, start, end);
}

std::vector<platform::Event> events_in_window(const std::vector<EventSource>& sources, platform::Date start,
                                              platform::Date end, std::size_t limit) {
  // Also refuses a window with a NaN end, which compares false both ways.
  if (!(start < end) || !std::isfinite(start.seconds_since_1970)) return {};
  Window window{start, Date{std::min(end.seconds_since_1970, start.seconds_since_1970 + kLongestWindowSeconds)}};
  std::vector<std::string> identifiers;
  std::vector<FoundOccurrence> found;
  for (const EventSource& source : sources) add_file_events(source, window, identifiers, found);
  std::stable_sort(found.begin(), found.end(), [&](const FoundOccurrence& x, const FoundOccurrence& y) {
    if (x.times.start != y.times.start) return x.times.start < y.times.start;
    return identifiers[x.identifier] < identifiers[y.identifier];
  });
  if (found.size() > limit) found.resize(limit);
  std::vector<platform::Event> out;
  out.reserve(found.size());
  for (const FoundOccurrence& f : found) {
    out.push_back(event_of(*f.event, identifiers[f.identifier], f.source->calendar, f.repeats, f.times));
  }
  return out;
}

}  // namespace platform::local
