#include "calendar/apple/local_date_text.h"

#include "calendar/command/digits_text.h"

namespace bridge {

namespace {

using Fields = platform::CalendarFields;

// "yyyy-mm-dd", each field zero-padded.
void append_date(std::string& out, const Fields& f) {
  append_padded_signed(out, f.year, 4);
  out.push_back('-');
  append_padded_signed(out, f.month, 2);
  out.push_back('-');
  append_padded_signed(out, f.day, 2);
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
  std::string out;
  append_date(out, f);
  out.push_back('T');
  append_padded_signed(out, f.hour, 2);
  out.push_back(':');
  append_padded_signed(out, f.minute, 2);
  out.push_back(':');
  append_padded_signed(out, f.second, 2);
  // The offset of the instant itself, so a daylight-saving change inside the window shows.
  append_offset(out, platform.seconds_from_gmt(local_zone, date));
  return out;
}

}  // namespace bridge
