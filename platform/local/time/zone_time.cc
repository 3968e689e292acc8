#include "platform/local/time/zone_time.h"

#include <unicode/basictz.h>
#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/ucal.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace platform::local {

namespace {

// Instants further out than this (about 28,500 years from 1970) are clamped, so that
// every calendar computation below stays within the years ICU and <chrono> can hold.
constexpr double kFarthestSeconds = 9e11;
// Names looked up are kept for the process; a store full of made-up TZIDs must not
// make that memory grow without end.
constexpr std::size_t kMostKeptNames = 1024;

// The machine's settings as ICU objects, made on first use and kept for the process:
// every event occurrence needs the local zone, so it must not be looked up each time.
struct MachineZones {
  std::mutex mutex;
  std::unique_ptr<icu::TimeZone> local;
  std::string local_name;
  std::unique_ptr<icu::Calendar> calendar;
  std::map<std::string, std::unique_ptr<icu::TimeZone>, std::less<>> named;
  std::map<std::string, std::optional<std::string>, std::less<>> resolved;  // TZID -> tz database name
};

MachineZones& machine() {
  // Never destroyed: a callback thread may still ask for an offset while the process exits.
  static auto* zones = new MachineZones;
  return *zones;
}

std::string utf8_of(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::unique_ptr<icu::TimeZone> zone_named(std::string_view name) {
  return std::unique_ptr<icu::TimeZone>(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), name.size()))));
}

bool is_unknown(const icu::TimeZone& zone) {
  icu::UnicodeString id;
  return zone.getID(id) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID);
}

// ICU reads TZ first, then /etc/localtime. Two of its answers are put right: TZ set
// but empty means UTC to the C library, and TZ naming a zoneinfo file by its path
// means the zone of that file, named as the tz database names it.
const icu::TimeZone& local_zone(MachineZones& m) {
  if (m.local) return *m.local;
  std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
  if (!zone || is_unknown(*zone)) zone = zone_named("UTC");
  std::string name = utf8_of([&] {
    icu::UnicodeString id;
    zone->getID(id);
    return id;
  }());
  if (auto cut = name.rfind("zoneinfo/"); cut != std::string::npos) {
    std::string tail = name.substr(cut + 9);
    if (auto by_tail = zone_named(tail); !is_unknown(*by_tail)) {
      zone = std::move(by_tail);
      name = tail;
    }
  }
  m.local_name = name;
  m.local = std::move(zone);
  return *m.local;
}

// The zone of a name: the local one for an empty name; unknown names give ICU's
// unknown zone, which is GMT.
const icu::TimeZone& zone_for(MachineZones& m, std::string_view name) {
  if (name.empty()) return local_zone(m);
  auto found = m.named.find(name);
  if (found == m.named.end()) {
    if (m.named.size() >= kMostKeptNames) m.named.clear();
    found = m.named.emplace(std::string(name), zone_named(name)).first;
  }
  return *found->second;
}

// A TZID without the quotes, spaces and trailing punctuation that some writers leave
// around a Windows zone name ("W. Europe Standard Time.", "\"Pacific Standard Time\"").
std::string_view trimmed_zone_name(std::string_view tzid) {
  auto stray_at_start = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
  auto stray_at_end = [](char c) {
    return c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '.' || c == ',' || c == ';' || c == ':';
  };
  while (!tzid.empty() && stray_at_start(tzid.front())) tzid.remove_prefix(1);
  while (!tzid.empty() && stray_at_end(tzid.back())) tzid.remove_suffix(1);
  return tzid;
}

// The tz database zone ICU maps a Windows zone name to, for the world region.
std::optional<std::string> zone_of_windows_name(std::string_view windows_name) {
  if (windows_name.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString id;
  icu::TimeZone::getIDForWindowsID(
      icu::UnicodeString::fromUTF8(icu::StringPiece(windows_name.data(), windows_name.size())), "001", id, status);
  if (U_FAILURE(status) || id.isEmpty()) return std::nullopt;
  return utf8_of(id);
}

double clamp_seconds(double seconds) {
  if (!std::isfinite(seconds)) return std::isnan(seconds) ? 0 : std::copysign(kFarthestSeconds, seconds);
  return std::fmax(-kFarthestSeconds, std::fmin(kFarthestSeconds, seconds));
}

int offset_seconds_at(const icu::TimeZone& zone, double seconds) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t raw = 0, dst = 0;
  zone.getOffset(clamp_seconds(seconds) * 1000.0, false, raw, dst, status);
  return U_FAILURE(status) ? 0 : (raw + dst) / 1000;
}

// Gregorian whatever the locale: the application reads Gregorian dates, and a
// Thai or Japanese locale would otherwise give Buddhist or imperial years.
icu::Calendar* current_calendar(MachineZones& m) {
  if (m.calendar) return m.calendar.get();
  UErrorCode status = U_ZERO_ERROR;
  m.calendar = std::make_unique<icu::GregorianCalendar>(local_zone(m).clone(), icu::Locale::getRoot(), status);
  if (U_FAILURE(status)) m.calendar.reset();
  return m.calendar.get();
}

// The instant of a wall time (given as seconds read as UTC) in a zone. "Former" for
// both: a skipped wall time is read with the offset before the gap, so it lands as far
// after the gap as it was into it; a repeated one is taken the first time.
double instant_in(const icu::TimeZone& zone, double local_seconds) {
  int32_t raw = 0, dst = 0;
  UErrorCode status = U_ZERO_ERROR;
  if (const auto* rules = dynamic_cast<const icu::BasicTimeZone*>(&zone)) {
    rules->getOffsetFromLocal(local_seconds * 1000.0, UCAL_TZ_LOCAL_FORMER, UCAL_TZ_LOCAL_FORMER, raw, dst, status);
  } else {
    zone.getOffset(local_seconds * 1000.0, true, raw, dst, status);
  }
  if (U_FAILURE(status)) raw = dst = 0;
  return local_seconds - (raw + dst) / 1000;
}

std::optional<double> whole_local_seconds(const WallTime& wall) {
  return wall_time_as_utc_seconds(WallTime{wall.year, wall.month, wall.day, wall.hour, wall.minute, wall.second, 0});
}

}  // namespace

std::string local_zone_name() {
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  local_zone(m);
  return m.local_name;
}

int zone_offset_at(std::string_view zone_name, Date instant) {
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  return offset_seconds_at(zone_for(m, zone_name), instant.seconds_since_1970);
}

std::optional<Date> wall_time_to_date(const WallTime& wall, std::string_view zone_name) {
  auto local = whole_local_seconds(wall);
  if (!local) return std::nullopt;
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  double instant = instant_in(zone_for(m, zone_name), *local);
  return Date{instant + static_cast<double>(wall.nanosecond) / 1e9};
}

std::optional<std::string> tz_name_for_tzid(std::string_view tzid) {
  if (tzid.empty()) return std::nullopt;
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  if (auto found = m.resolved.find(tzid); found != m.resolved.end()) return found->second;
  std::optional<std::string> name;
  if (!is_unknown(zone_for(m, tzid))) {
    name = std::string(tzid);
  } else if (auto windows = zone_of_windows_name(trimmed_zone_name(tzid)); windows && !is_unknown(zone_for(m, *windows))) {
    name = std::move(windows);
  }
  if (m.resolved.size() >= kMostKeptNames) m.resolved.clear();
  m.resolved.emplace(std::string(tzid), name);
  return name;
}

CalendarFields current_calendar_fields(Date instant) {
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  double seconds = clamp_seconds(instant.seconds_since_1970);
  if (icu::Calendar* calendar = current_calendar(m)) {
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(seconds * 1000.0, status);
    CalendarFields fields{calendar->get(UCAL_YEAR, status),        calendar->get(UCAL_MONTH, status) + 1,
                          calendar->get(UCAL_DATE, status),        calendar->get(UCAL_HOUR_OF_DAY, status),
                          calendar->get(UCAL_MINUTE, status),      calendar->get(UCAL_SECOND, status)};
    if (U_SUCCESS(status)) return fields;
  }
  // No calendar for the locale: Gregorian fields of the local wall time.
  WallTime wall = utc_wall_time(Date{seconds + offset_seconds_at(local_zone(m), seconds)});
  return CalendarFields{wall.year, wall.month, wall.day, wall.hour, wall.minute, wall.second};
}

std::optional<double> wall_time_as_utc_seconds(const WallTime& wall) {
  using namespace std::chrono;
  // Limits that keep every sum below within 64 bits; the result is checked after.
  auto within = [](std::int64_t value, std::int64_t limit) { return value >= -limit && value <= limit; };
  if (!within(wall.year, 100'000) || !within(wall.month, 1'000'000) || !within(wall.day, 1'000'000'000) ||
      !within(wall.hour, 100'000'000'000) || !within(wall.minute, 1'000'000'000'000) ||
      !within(wall.second, 100'000'000'000'000)) {
    return std::nullopt;
  }
  std::int64_t months = wall.year * 12 + (wall.month - 1);
  std::int64_t year_part = months >= 0 ? months / 12 : -((-months + 11) / 12);
  auto month_part = static_cast<unsigned>(months - year_part * 12 + 1);
  if (!within(year_part, 30'000)) return std::nullopt;
  sys_days first = year_month_day(year(static_cast<int>(year_part)), month(month_part), day(1));
  std::int64_t day_count = first.time_since_epoch().count() + (wall.day - 1);
  std::int64_t seconds = day_count * 86400 + wall.hour * 3600 + wall.minute * 60 + wall.second;
  auto result = static_cast<double>(seconds);
  if (std::fabs(result) > kFarthestSeconds) return std::nullopt;
  return result;
}

WallTime utc_wall_time(Date instant) {
  using namespace std::chrono;
  auto whole = static_cast<std::int64_t>(std::floor(clamp_seconds(instant.seconds_since_1970)));
  std::int64_t day_count = whole >= 0 ? whole / 86400 : -((-whole + 86399) / 86400);
  std::int64_t in_day = whole - day_count * 86400;
  year_month_day ymd{sys_days(days(day_count))};
  return WallTime{static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  in_day / 3600,  in_day % 3600 / 60, in_day % 60, 0};
}

void reload_machine_settings() {
  MachineZones& m = machine();
  std::lock_guard lock(m.mutex);
  m.calendar.reset();
  m.local.reset();
  m.local_name.clear();
}

}  // namespace platform::local
