#include "calendar/apple/local_date_text.h"

#include <cstdio>
#include <cstdlib>

namespace bridge {

namespace {

using Fields = platform::CalendarFields;

void append_date(std::string& out, const Fields& f) {
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(f.year),
                static_cast<long long>(f.month), static_cast<long long>(f.day));
  out += text;
}

}  // namespace

std::string format_local_date(platform::Platform& platform, platform::Date date) {
  std::string out;
  append_date(out, platform.current_calendar_components(date));
  return out;
}

std::string format_local_datetime(platform::Platform& platform, const platform::TimeZone& local_zone,
                                  platform::Date date) {
  Fields f = platform.current_calendar_components(date);
  // The offset of the instant itself, so a daylight-saving change inside the window shows.
  long long offset = platform.seconds_from_gmt(local_zone, date);
  long long magnitude = std::llabs(offset);
  std::string out;
  append_date(out, f);
  char text[96];
  std::snprintf(text, sizeof text, "T%02lld:%02lld:%02lld%c%02lld:%02lld", static_cast<long long>(f.hour),
                static_cast<long long>(f.minute), static_cast<long long>(f.second), offset < 0 ? '-' : '+',
                magnitude / 3600, magnitude % 3600 / 60);
  out += text;
  return out;
}

}  // namespace bridge
