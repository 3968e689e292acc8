#include "platform/local/events/event_occurrences.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

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

// The overrides of one item that name different occurrences. Two name the same one
// when either is a date and their days agree, or both are instants and agree. Of two
// the newer revision wins (the later in the file when neither is newer), in the place
// of the first. Looked up by day and by instant, so that thousands of overrides of one
// series cost no more than reading them.
class DistinctOverrides {
 public:
  void add(const OverrideEvent& o) {
    const IcalTime& id = *o.event.recurrence_id;
    std::int64_t day = day_number(id.value);
    std::optional<double> instant;
    if (!id.is_date()) {
      if (auto at = instant_of(id.value, id.zone)) instant = at->seconds_since_1970;
    }
    std::optional<std::size_t> same = id.is_date() ? find(any_by_day_, day) : find(date_by_day_, day);
    if (instant) same = earlier(same, find(by_instant_, *instant));
    if (!same) {
      index(kept_.size(), &o);
      kept_.push_back(&o);
    } else if (replaces_revision(o.revision, kept_[*same]->revision)) {
      unindex(*same);
      kept_[*same] = &o;
      index(*same, &o);
    }
  }
  const std::vector<const OverrideEvent*>& kept() const { return kept_; }

 private:
  template <typename Key>
  using Places = std::unordered_map<Key, std::set<std::size_t>>;

  template <typename Key>
  static std::optional<std::size_t> find(const Places<Key>& places, Key key) {
    auto at = places.find(key);
    if (at == places.end() || at->second.empty()) return std::nullopt;
    return *at->second.begin();
  }
  static std::optional<std::size_t> earlier(std::optional<std::size_t> a, std::optional<std::size_t> b) {
    if (!a || !b) return a ? a : b;
    return std::min(*a, *b);
  }
  template <typename Key>
  static void erase(Places<Key>& places, Key key, std::size_t place) {
    auto at = places.find(key);
    if (at != places.end()) at->second.erase(place);
  }

  // The keys under which the override at `place` is found.
  void index(std::size_t place, const OverrideEvent* o) { visit(place, o, true); }
  void unindex(std::size_t place) { visit(place, kept_[place], false); }
  void visit(std::size_t place, const OverrideEvent* o, bool add) {
    const IcalTime& id = *o->event.recurrence_id;
    std::int64_t day = day_number(id.value);
    auto apply = [&](auto& places, auto key) {
      if (add) {
        places[key].insert(place);
      } else {
        erase(places, key, place);
      }
    };
    apply(any_by_day_, day);
    if (id.is_date()) {
      apply(date_by_day_, day);
    } else if (auto at = instant_of(id.value, id.zone)) {
      apply(by_instant_, at->seconds_since_1970);
    }
  }

  std::vector<const OverrideEvent*> kept_;
  Places<std::int64_t> any_by_day_;
  Places<std::int64_t> date_by_day_;
  Places<double> by_instant_;
};

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
    // Without a master each override stands alone.
    DistinctOverrides distinct;
    for (const OverrideEvent& o : item.overrides) distinct.add(o);
    const std::vector<const OverrideEvent*>& overrides = distinct.kept();

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
