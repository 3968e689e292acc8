#include "platform/local/events/event_occurrences.h"

#include <algorithm>
#include <cmath>
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

void add_file_events(const EventSource& source, const Window& window, std::vector<platform::Event>& out) {
  if (!source.events) return;
  for (const ItemEvents& item : source.events->items) {
    std::string identifier = source.identifier + item.identifier_suffix;
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

    const std::optional<EventComponent>& master = item.master;
    bool repeats = master && master->has_rrule;
    if (master) {
      std::vector<IcalTime> overridden;
      for (const OverrideEvent* o : overrides) overridden.push_back(*o->event.recurrence_id);
      for (const OccurrenceTimes& times :
           series_in_window(*master, window, overridden, &source.events->rule_steps_changed)) {
        out.push_back(event_of(*master, identifier, source.calendar, repeats, times));
      }
    }
    // An override counts where it now lies, wherever the occurrence it replaces was.
    for (const OverrideEvent* o : overrides) {
      const EventComponent& moved = o->event;
      auto times = occurrence_at(moved, moved.start.value, moved.start.zone);
      if (times && overlaps(*times, window)) out.push_back(event_of(moved, identifier, source.calendar, repeats, *times));
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
                                              platform::Date end) {
  // Also refuses a window with a NaN end, which compares false both ways.
  if (!(start < end) || !std::isfinite(start.seconds_since_1970)) return {};
  Window window{start, Date{std::min(end.seconds_since_1970, start.seconds_since_1970 + kLongestWindowSeconds)}};
  std::vector<platform::Event> found;
  for (const EventSource& source : sources) add_file_events(source, window, found);
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
