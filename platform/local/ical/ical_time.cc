#include "platform/local/ical/ical_time.h"

#include <cmath>

namespace platform::local {

std::shared_ptr<const DefinedZone> FileZones::definition(const char* tzid) {
  for (const auto& [name, zone] : read_) {
    if (name == tzid) return zone;
  }
  icaltimezone* found = vcalendar_ ? icalcomponent_get_timezone(vcalendar_, tzid) : nullptr;
  auto zone = define_zone(found ? icaltimezone_get_component(found) : nullptr);
  read_.emplace_back(tzid, zone);
  return zone;
}

IcalZone ical_zone_of(icalproperty* property, const icaltimetype& value, FileZones& zones) {
  IcalZone zone;
  if (icaltime_is_utc(value)) {
    zone.kind = IcalZone::Kind::utc;
    return zone;
  }
  icalparameter* tzid = property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
  const char* name = tzid ? icalparameter_get_tzid(tzid) : nullptr;
  if (name == nullptr || *name == '\0') return zone;
  // The tz database comes first: a file's copy of a known zone says the same, and
  // reading that copy would cost every file that carries one.
  if (auto resolved = tz_name_for_tzid(name)) {
    zone.kind = IcalZone::Kind::zoned;
    zone.tzid = std::move(*resolved);
  } else if (auto definition = zones.definition(name)) {
    zone.kind = IcalZone::Kind::zoned;
    zone.tzid = name;
    zone.definition = std::move(definition);
  }
  // A zone nobody defines leaves the wall time as written: floating, not GMT.
  return zone;
}

IcalZone ical_zone_of(icalproperty* property, const icaltimetype& value, icalcomponent* vcalendar) {
  FileZones zones(vcalendar);
  return ical_zone_of(property, value, zones);
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

icaltimetype wall_at(double seconds, bool is_date) { return ical_wall(utc_wall_time(Date{seconds}), is_date); }

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
  if (zone.definition) return wall_time_to_date(wall, *zone.definition);
  return wall_time_to_date(wall, zone.tzid);
}

}  // namespace platform::local
