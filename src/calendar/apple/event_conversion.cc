#include "calendar/apple/event_conversion.h"

#include <cstdint>
#include <string_view>

#include "caldav/meeting_link.h"
#include "calendar/apple/calendar_color.h"
#include "calendar/apple/local_date_text.h"
#include "text/white_space.h"

namespace bridge {

namespace {

constexpr std::string_view kNoCalendarTitle = "Apple 日历";
constexpr std::string_view kUntitled = "（无标题）";

}  // namespace

caldav::CalendarEvent event_from_ekevent(const EventConversionContext& context, const platform::Event& event) {
  caldav::CalendarEvent record;
  if (event.calendar) {
    record.calendar_id = event.calendar->identifier;
    record.calendar_title = event.calendar->title;
    record.color = calendar_color_hex(event.calendar->color);
  } else {
    record.calendar_title = kNoCalendarTitle;
  }
  record.all_day = event.is_all_day;
  if (!event.is_all_day) record.time_zone = (event.time_zone ? *event.time_zone : context.local_zone).name();
  if (event.is_all_day) {
    record.start = format_local_date(context.platform, event.start_date);
    record.end = format_local_date(context.platform, event.end_date);
  } else {
    record.start = format_local_datetime(context.platform, context.local_zone, event.start_date);
    record.end = format_local_datetime(context.platform, context.local_zone, event.end_date);
  }
  record.event_id = event.event_identifier ? *event.event_identifier
                                           : "apple-" + record.calendar_id + "-" + record.start;
  if (event.location && !text::is_blank(*event.location)) record.location = event.location;
  if (record.location) record.link = caldav::find_meeting_link_in_text(*record.location);
  record.repeat_read_only = event.has_recurrence_rules;
  record.id = "apple:" + record.event_id + ":" + record.start;
  record.provider = "apple";
  record.title = !text::is_blank(event.title) ? event.title : std::string(kUntitled);
  record.description = event.notes;
  return record;
}

}  // namespace bridge
