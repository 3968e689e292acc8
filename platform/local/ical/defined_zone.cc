#include "platform/local/ical/defined_zone.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/local/ical/ical_handles.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/rule_reach.h"

namespace platform::local {

namespace {

constexpr int kDay = 86400;
// A zone's rule gives an onset or two a year: more than this in its first two years
// is no zone's rule, and libical would keep every one of them.
constexpr int kMostOnsetsInTwoYears = 24;
// Definitions read are kept for the process, a bounded number of them.
constexpr std::size_t kMostKeptDefinitions = 64;

bool is_observance(icalcomponent* component) {
  icalcomponent_kind kind = icalcomponent_isa(component);
  return kind == ICAL_XSTANDARD_COMPONENT || kind == ICAL_XDAYLIGHT_COMPONENT;
}

// Whether libical walks the rule in bounded work and keeps few of its dates. libical
// looks for the dates of a rule that gives none until its last year, and walks a
// rule that repeats daily or more often date by date from DTSTART.
bool is_zone_rule(const icalrecurrencetype& rule, const icaltimetype& first) {
  if (rule.freq != ICAL_YEARLY_RECURRENCE && rule.freq != ICAL_MONTHLY_RECURRENCE) return false;
  if (rule_gives_no_date(rule, first)) return false;
  icalrecur_iterator* dates = icalrecur_iterator_new(rule, first);
  if (dates == nullptr) return false;
  int onsets = 0;
  for (icaltimetype at = icalrecur_iterator_next(dates); !icaltime_is_null_time(at) && at.year <= first.year + 1;
       at = icalrecur_iterator_next(dates)) {
    if (++onsets > kMostOnsetsInTwoYears) break;
  }
  icalrecur_iterator_free(dates);
  return onsets <= kMostOnsetsInTwoYears;
}

// The largest offset the definition names, when each of its observances can be read.
std::optional<int> widest_offset_of(icalcomponent* vtimezone) {
  std::optional<int> widest;
  for (icalcomponent* phase = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); phase;
       phase = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
    if (!is_observance(phase)) continue;
    icalproperty* start = icalcomponent_get_first_property(phase, ICAL_DTSTART_PROPERTY);
    icalproperty* to = icalcomponent_get_first_property(phase, ICAL_TZOFFSETTO_PROPERTY);
    icalproperty* from = icalcomponent_get_first_property(phase, ICAL_TZOFFSETFROM_PROPERTY);
    if (start == nullptr || to == nullptr) return std::nullopt;
    icaltimetype first = icalproperty_get_dtstart(start);
    if (!is_usable_time(first)) return std::nullopt;
    // Without TZOFFSETFROM (as Outlook for Mac writes a zone without daylight time)
    // libical takes the offset as unchanged.
    for (int offset : {icalproperty_get_tzoffsetto(to), from ? icalproperty_get_tzoffsetfrom(from) : 0}) {
      if (std::abs(offset) >= kDay) return std::nullopt;
      widest = std::max(widest.value_or(0), std::abs(offset));
    }
    for (icalproperty* rule = icalcomponent_get_first_property(phase, ICAL_RRULE_PROPERTY); rule;
         rule = icalcomponent_get_next_property(phase, ICAL_RRULE_PROPERTY)) {
      if (!is_zone_rule(icalproperty_get_rrule(rule), first)) return std::nullopt;
    }
  }
  return widest;
}

std::shared_ptr<const DefinedZone> read_definition(icalcomponent* vtimezone) {
  auto widest = widest_offset_of(vtimezone);
  if (!widest) return nullptr;
  IcalComponentPtr copy(icalcomponent_new_clone(vtimezone));
  icaltimezone* zone = icaltimezone_new();
  if (!copy || zone == nullptr) {
    if (zone != nullptr) icaltimezone_free(zone, 1);
    return nullptr;
  }
  // The zone takes the copy only when it has a TZID.
  if (!icaltimezone_set_component(zone, copy.get())) {
    icaltimezone_free(zone, 1);
    return nullptr;
  }
  copy.release();
  return std::make_shared<const DefinedZone>(zone, *widest);
}

struct KeptDefinitions {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const DefinedZone>, std::less<>> by_text;
};

KeptDefinitions& kept() {
  // Never destroyed: a callback thread may still read a zone while the process exits.
  static auto* definitions = new KeptDefinitions;
  return *definitions;
}

}  // namespace

DefinedZone::~DefinedZone() { icaltimezone_free(zone_, 1); }

int DefinedZone::offset_at(double seconds_since_1970) const {
  icaltimetype at = ical_wall(utc_wall_time(Date{seconds_since_1970}), false);
  at.zone = icaltimezone_get_utc_timezone();
  std::lock_guard lock(mutex_);
  return icaltimezone_get_utc_offset_of_utc_time(zone_, &at, nullptr);
}

std::shared_ptr<const DefinedZone> define_zone(icalcomponent* vtimezone) {
  if (vtimezone == nullptr || icalcomponent_isa(vtimezone) != ICAL_VTIMEZONE_COMPONENT) return nullptr;
  // Many files carry the same definition; libical works out its onsets slowly.
  std::string text = take_ical_string(icalcomponent_as_ical_string_r(vtimezone));
  KeptDefinitions& definitions = kept();
  {
    std::lock_guard lock(definitions.mutex);
    if (auto found = definitions.by_text.find(text); found != definitions.by_text.end()) return found->second;
  }
  auto zone = read_definition(vtimezone);
  std::lock_guard lock(definitions.mutex);
  if (definitions.by_text.size() >= kMostKeptDefinitions) definitions.by_text.clear();
  definitions.by_text.emplace(std::move(text), zone);
  return zone;
}

std::optional<Date> wall_time_to_date(const WallTime& wall, const DefinedZone& zone) {
  auto local = wall_time_as_utc_seconds(WallTime{wall.year, wall.month, wall.day, wall.hour, wall.minute, wall.second, 0});
  if (!local) return std::nullopt;
  // Every instant the wall time can name lies between these two; so does the one
  // change of offset near it, if any.
  double reach = zone.widest_offset() + 3600.0;
  int before = zone.offset_at(*local - reach), after = zone.offset_at(*local + reach);
  // The offset before the change, unless the wall time lies wholly after it: a
  // repeated wall time is taken the first time, a skipped one lands after the gap.
  int offset = before;
  if (before != after && zone.offset_at(*local - before) != before && zone.offset_at(*local - after) == after) {
    offset = after;
  }
  return Date{*local - offset + static_cast<double>(wall.nanosecond) / 1e9};
}

}  // namespace platform::local
