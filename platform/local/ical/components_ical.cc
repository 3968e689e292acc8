#include "platform/local/ical/components_ical.h"

#include <chrono>
#include <cstdlib>

#include "platform/local/time/components_date.h"
#include "platform/local/ical/ical_time.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

icaltimetype time_of(icalproperty* property) {
  switch (icalproperty_isa(property)) {
    case ICAL_DUE_PROPERTY: return icalproperty_get_due(property);
    case ICAL_DTSTART_PROPERTY: return icalproperty_get_dtstart(property);
    default: return icaltime_null_time();
  }
}

// "GMT+0800" / "GMT-0330": the offset the name gives.
std::optional<int> offset_in_name(std::string_view tzid) {
  if (tzid.size() != 8 || tzid.substr(0, 3) != "GMT" || (tzid[3] != '+' && tzid[3] != '-')) return std::nullopt;
  int digits[4];
  for (int i = 0; i < 4; ++i) {
    char c = tzid[4 + i];
    if (c < '0' || c > '9') return std::nullopt;
    digits[i] = c - '0';
  }
  int hours = digits[0] * 10 + digits[1], minutes = digits[2] * 10 + digits[3];
  if (minutes > 59) return std::nullopt;
  int seconds = hours * 3600 + minutes * 60;
  return tzid[3] == '-' ? -seconds : seconds;
}

// The one offset of a VTIMEZONE whose every phase has the same offset before and after.
std::optional<int> fixed_offset_of_definition(icalcomponent* vcalendar, const char* tzid) {
  if (!vcalendar) return std::nullopt;
  icaltimezone* zone = icalcomponent_get_timezone(vcalendar, tzid);
  icalcomponent* definition = zone ? icaltimezone_get_component(zone) : nullptr;
  if (!definition) return std::nullopt;
  std::optional<int> offset;
  for (icalcomponent* phase = icalcomponent_get_first_component(definition, ICAL_ANY_COMPONENT); phase;
       phase = icalcomponent_get_next_component(definition, ICAL_ANY_COMPONENT)) {
    icalproperty* to = icalcomponent_get_first_property(phase, ICAL_TZOFFSETTO_PROPERTY);
    icalproperty* from = icalcomponent_get_first_property(phase, ICAL_TZOFFSETFROM_PROPERTY);
    if (!to || !from) return std::nullopt;
    int to_offset = icalproperty_get_tzoffsetto(to), from_offset = icalproperty_get_tzoffsetfrom(from);
    if (to_offset != from_offset || (offset && *offset != to_offset)) return std::nullopt;
    offset = to_offset;
  }
  return offset;
}

bool is_utc_name(const std::string& name) { return name == "UTC" || name == "GMT"; }

std::string fixed_zone_vtimezone(const std::string& tzid, int offset) {
  IcalComponentPtr zone(icalcomponent_new(ICAL_VTIMEZONE_COMPONENT));
  icalcomponent_add_property(zone.get(), icalproperty_new_tzid(tzid.c_str()));
  icalcomponent* standard = icalcomponent_new(ICAL_XSTANDARD_COMPONENT);
  icaltimetype epoch = icaltime_null_time();
  epoch.year = 1970;
  epoch.month = 1;
  epoch.day = 1;
  icalcomponent_add_property(standard, icalproperty_new_dtstart(epoch));
  icalcomponent_add_property(standard, icalproperty_new_tzoffsetfrom(offset));
  icalcomponent_add_property(standard, icalproperty_new_tzoffsetto(offset));
  icalcomponent_add_property(standard, icalproperty_new_tzname(tzid.c_str()));
  icalcomponent_add_component(zone.get(), standard);
  return take_ical_string(icalcomponent_as_ical_string_r(zone.get()));
}

bool defined(std::int64_t v) { return v != kUndefinedComponent; }

}  // namespace

// libical writes no year past 3000 nor before 0: it would write zeros, a time
// that reads as none.
bool is_writable_year(std::int64_t year) { return year >= 0 && year <= 3000; }

std::optional<TimeZone> zone_of_property(icalproperty* property, icalcomponent* vcalendar) {
  icaltimetype value = time_of(property);
  if (value.is_date || icaltime_is_null_time(value)) return std::nullopt;
  if (icaltime_is_utc(value)) return TimeZone::named("UTC");
  icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
  const char* name = tzid ? icalparameter_get_tzid(tzid) : nullptr;
  if (!name || !*name) return std::nullopt;
  if (auto from_name = offset_in_name(name)) {
    // The file's own definition is exact to the second; the name only to the minute.
    return TimeZone::for_seconds_from_gmt(fixed_offset_of_definition(vcalendar, name).value_or(*from_name));
  }
  FileZones zones(vcalendar);
  IcalZone zone = ical_zone_of(property, value, zones);
  if (zone.kind != IcalZone::Kind::zoned) return std::nullopt;  // a TZID nobody defines: floating
  if (!zone.definition) return TimeZone::named(text::valid_utf8(zone.tzid));
  // A zone only the file defines means nothing outside it: the components carry the
  // offset it has at that moment, which names the same instant anywhere.
  auto instant = instant_of(value, zone);
  auto wall = wall_time_as_utc_seconds(wall_of(value));
  if (!instant || !wall) return std::nullopt;
  return TimeZone::for_seconds_from_gmt(static_cast<int>(*wall - instant->seconds_since_1970));
}

std::optional<DateComponents> components_of_property(icalproperty* property, icalcomponent* vcalendar) {
  icaltimetype value = time_of(property);
  if (!is_usable_time(value)) return std::nullopt;
  DateComponents c;
  c.calendar = kGregorianCalendar;
  c.year = value.year;
  c.month = value.month;
  c.day = value.day;
  if (value.is_date) return c;
  c.hour = value.hour;
  c.minute = value.minute;
  c.second = value.second;
  c.time_zone = zone_of_property(property, vcalendar);
  return c;
}

bool names_same_time(const DateComponents& a, const DateComponents& b) {
  auto or_zero = [](std::int64_t v) { return defined(v) ? v : 0; };
  if (a.calendar != b.calendar || a.year != b.year || a.month != b.month || a.day != b.day || a.hour != b.hour) {
    return false;
  }
  if (!defined(a.hour)) return true;
  if (or_zero(a.minute) != or_zero(b.minute) || or_zero(a.second) != or_zero(b.second) ||
      or_zero(a.nanosecond) != or_zero(b.nanosecond) || a.time_zone.has_value() != b.time_zone.has_value()) {
    return false;
  }
  if (!a.time_zone) return true;
  auto instant_a = date_of_components(a), instant_b = date_of_components(b);
  return instant_a && instant_b && *instant_a == *instant_b;
}

std::optional<WrittenTime> property_for_components(icalproperty_kind kind, const DateComponents& c) {
  using namespace std::chrono;
  if (!defined(c.year) || !defined(c.month) || !defined(c.day)) return std::nullopt;
  if (c.year < 1 || !is_writable_year(c.year) || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31) {
    return std::nullopt;
  }
  if (!year_month_day(year(static_cast<int>(c.year)), month(static_cast<unsigned>(c.month)),
                      day(static_cast<unsigned>(c.day))).ok()) {
    return std::nullopt;
  }
  icaltimetype value = icaltime_null_time();
  value.year = static_cast<int>(c.year);
  value.month = static_cast<int>(c.month);
  value.day = static_cast<int>(c.day);
  value.is_date = defined(c.hour) ? 0 : 1;
  std::optional<FixedZoneDefinition> fixed_zone;
  std::optional<std::string> tzid;
  if (!value.is_date) {
    // iCalendar has no fractions of a second: the nanosecond is not stored.
    std::int64_t minute = defined(c.minute) ? c.minute : 0, second = defined(c.second) ? c.second : 0;
    if (c.hour < 0 || c.hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) return std::nullopt;
    value.hour = static_cast<int>(c.hour);
    value.minute = static_cast<int>(minute);
    value.second = static_cast<int>(second);
    if (c.time_zone) {
      auto fixed = c.time_zone->fixed_offset_seconds();
      if ((fixed && *fixed == 0) || (!fixed && is_utc_name(c.time_zone->name()))) {
        value.zone = icaltimezone_get_utc_timezone();
      } else if (fixed) {
        if (std::abs(*fixed) >= 86400) return std::nullopt;
        std::string name = TimeZone::for_seconds_from_gmt(*fixed).name();
        fixed_zone = FixedZoneDefinition{name, fixed_zone_vtimezone(name, *fixed)};
        tzid = name;
      } else {
        tzid = c.time_zone->name();
      }
    }
  }
  IcalPropertyPtr property(kind == ICAL_DUE_PROPERTY ? icalproperty_new_due(value) : icalproperty_new_dtstart(value));
  if (tzid) icalproperty_add_parameter(property.get(), icalparameter_new_tzid(tzid->c_str()));
  return WrittenTime{std::move(property), std::move(fixed_zone)};
}

}  // namespace platform::local
