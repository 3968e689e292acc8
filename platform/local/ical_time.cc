#include "platform/local/ical_time.h"

#include <algorithm>
#include <cmath>

namespace platform::local {

namespace {

// A VTIMEZONE is only trusted when its changes repeat at most monthly: libical expands
// every change of the zone's rules into memory, so a sub-daily rule would never end.
bool has_bounded_rules(icaltimezone* zone) {
  icalcomponent* definition = icaltimezone_get_component(zone);
  if (definition == nullptr) return false;
  for (icalcompiter part = icalcomponent_begin_component(definition, ICAL_ANY_COMPONENT);
       icalcompiter_deref(&part) != nullptr; icalcompiter_next(&part)) {
    icalcomponent* phase = icalcompiter_deref(&part);
    for (icalproperty* rule = icalcomponent_get_first_property(phase, ICAL_RRULE_PROPERTY); rule != nullptr;
         rule = icalcomponent_get_next_property(phase, ICAL_RRULE_PROPERTY)) {
      icalrecurrencetype_frequency freq = icalproperty_get_rrule(rule).freq;
      if (freq != ICAL_YEARLY_RECURRENCE && freq != ICAL_MONTHLY_RECURRENCE) return false;
    }
  }
  return true;
}

int definition_offset_at(icaltimezone* zone, double utc_seconds) {
  icaltimetype utc = ical_wall(utc_wall_time(Date{utc_seconds}), false);
  int is_daylight = 0;
  return icaltimezone_get_utc_offset_of_utc_time(zone, &utc, &is_daylight);
}

// libical resolves a local time in a gap or an overlap differently from the platform,
// so the instant is found from the zone's offsets at UTC instants instead.
double resolve_in_definition(icaltimezone* zone, double local_seconds) {
  int before = definition_offset_at(zone, local_seconds - 86400);
  int after = definition_offset_at(zone, local_seconds + 86400);
  double with_before = local_seconds - before;
  double with_after = local_seconds - after;
  bool before_holds = definition_offset_at(zone, with_before) == before;
  bool after_holds = definition_offset_at(zone, with_after) == after;
  if (before_holds && after_holds) return std::min(with_before, with_after);  // repeated: the first
  if (after_holds && !before_holds) return with_after;
  return with_before;  // ordinary, or skipped: moved forward by the gap
}

}  // namespace

IcalZone ical_zone_of(icalproperty* property, const icaltimetype& value, icalcomponent* vcalendar) {
  IcalZone zone;
  if (icaltime_is_utc(value)) {
    zone.kind = IcalZone::Kind::utc;
    return zone;
  }
  icalparameter* tzid = property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
  const char* name = tzid ? icalparameter_get_tzid(tzid) : nullptr;
  if (name == nullptr || *name == '\0') return zone;
  zone.kind = IcalZone::Kind::zoned;
  zone.tzid = name;
  if (vcalendar != nullptr) {
    icaltimezone* defined = icalcomponent_get_timezone(vcalendar, name);
    if (defined != nullptr && has_bounded_rules(defined)) zone.definition = defined;
  }
  return zone;
}

bool is_usable_time(const icaltimetype& value) {
  if (icaltime_is_null_time(value)) return false;
  if (value.year < 0 || value.year > 9999 || value.month < 1 || value.month > 12 || value.day < 1 || value.day > 31) {
    return false;
  }
  if (value.is_date) return true;
  return value.hour >= 0 && value.hour <= 23 && value.minute >= 0 && value.minute <= 59 && value.second >= 0 &&
         value.second <= 60;
}

WallTime wall_of(const icaltimetype& value) {
  if (value.is_date) return WallTime{value.year, value.month, value.day, 0, 0, 0, 0};
  return WallTime{value.year, value.month, value.day, value.hour, value.minute, value.second, 0};
}

icaltimetype ical_wall(const WallTime& wall, bool is_date) {
  icaltimetype value = icaltime_null_time();
  value.year = static_cast<int>(wall.year);
  value.month = static_cast<int>(wall.month);
  value.day = static_cast<int>(wall.day);
  value.is_date = is_date ? 1 : 0;
  if (!is_date) {
    value.hour = static_cast<int>(wall.hour);
    value.minute = static_cast<int>(wall.minute);
    value.second = static_cast<int>(wall.second);
  }
  return value;
}

double wall_seconds(const icaltimetype& value) { return wall_time_as_utc_seconds(wall_of(value)).value_or(0); }

std::int64_t day_number(const icaltimetype& value) {
  return static_cast<std::int64_t>(std::floor(wall_seconds(value) / 86400));
}

std::optional<Date> instant_of(const icaltimetype& value, const IcalZone& zone) {
  if (!is_usable_time(value)) return std::nullopt;
  WallTime wall = wall_of(value);
  if (value.is_date || zone.kind == IcalZone::Kind::floating) return wall_time_to_date(wall, "");
  if (zone.kind == IcalZone::Kind::utc) {
    auto seconds = wall_time_as_utc_seconds(wall);
    return seconds ? std::optional<Date>(Date{*seconds}) : std::nullopt;
  }
  if (zone.definition != nullptr) {
    auto local = wall_time_as_utc_seconds(wall);
    return local ? std::optional<Date>(Date{resolve_in_definition(zone.definition, *local)}) : std::nullopt;
  }
  return wall_time_to_date(wall, zone.tzid);
}

}  // namespace platform::local
