#include "platform/local/reminders/reminder_patch.h"

#include <algorithm>
#include <cmath>

#include "platform/local/ical/components_ical.h"
#include "platform/local/ical/ical_handles.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/time/zone_time.h"
#include "text/nul_free.h"

namespace platform::local {

namespace {

icaltimetype utc_time(Date date) {
  // iCalendar has no fractions of a second: the fraction is dropped.
  icaltimetype value = ical_wall(utc_wall_time(Date{std::trunc(date.seconds_since_1970)}), false);
  value.zone = icaltimezone_get_utc_timezone();
  return value;
}

std::string line_of(icalproperty* property) {
  IcalPropertyPtr owned(property);
  return take_ical_string(icalproperty_as_ical_string_r(owned.get()));
}

std::vector<std::string> one_line(icalproperty* property) { return {line_of(property)}; }

std::string alarm_block(Date when) {
  IcalComponentPtr alarm(icalcomponent_new(ICAL_VALARM_COMPONENT));
  icalcomponent_add_property(alarm.get(), icalproperty_new_action(ICAL_ACTION_DISPLAY));
  // DISPLAY alarms must carry a DESCRIPTION to be valid iCalendar.
  icalcomponent_add_property(alarm.get(), icalproperty_new_description("Reminder"));
  icaltriggertype trigger{utc_time(when), icaldurationtype_null_duration()};
  // libical marks a trigger that holds a time with VALUE=DATE-TIME itself.
  icalcomponent_add_property(alarm.get(), icalproperty_new_trigger(trigger));
  return take_ical_string(icalcomponent_as_ical_string_r(alarm.get()));
}

// Nothing when an alarm falls in a year the file cannot hold.
std::optional<std::vector<std::string>> alarm_blocks(const std::vector<Alarm>& alarms) {
  std::vector<std::string> blocks;
  for (const Alarm& alarm : alarms) {
    auto stored = std::dynamic_pointer_cast<const StoredAlarmOrigin>(alarm.origin);
    if (stored && stored->absolute_date == alarm.absolute_date) {
      blocks.push_back(stored->block);  // handed back unchanged: kept as the file had it
    } else if (alarm.absolute_date && std::isfinite(alarm.absolute_date->seconds_since_1970)) {
      if (!is_writable_year(utc_time(*alarm.absolute_date).year)) return std::nullopt;
      blocks.push_back(alarm_block(*alarm.absolute_date));
    }
  }
  return blocks;
}

// iCalendar text cannot hold a NUL: the text is written without it, not cut at it.
std::string text_line(icalproperty* (*make)(const char*), const std::string& value) {
  return line_of(make(text::without_nul(value).c_str()));
}

// DUE or DTSTART; false when the components name no writable date.
bool put_time(ItemTextEdit& edit, icalproperty_kind kind, const char* name,
              const std::optional<DateComponents>& components) {
  if (!components) {
    edit.set_property(name, {});
    return true;
  }
  auto written = property_for_components(kind, *components);
  if (!written) return false;
  if (written->fixed_zone) edit.put_time_zone(written->fixed_zone->tzid, written->fixed_zone->vtimezone);
  edit.set_property(name, {line_of(written->property.release())});
  return true;
}

bool put_rules(ItemTextEdit& edit, const std::optional<std::vector<RecurrenceRule>>& rules) {
  std::vector<std::string> lines;
  for (const RecurrenceRule& rule : rules.value_or(std::vector<RecurrenceRule>{})) {
    auto value = rrule_value_of(rule);
    if (!value) return false;
    // Written as it stands: libical would drop a WKST of Monday on its way through.
    icalproperty* property = icalproperty_new_x(value->c_str());
    icalproperty_set_x_name(property, "RRULE");
    lines.push_back(line_of(property));
  }
  edit.set_property("RRULE", lines);
  return true;
}

}  // namespace

std::string new_reminder_text(const std::string& uid, Date now) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:" + std::string(kProductId) + "\r\nBEGIN:VTODO\r\n" +
         line_of(icalproperty_new_uid(uid.c_str())) + line_of(icalproperty_new_created(utc_time(now))) +
         "END:VTODO\r\nEND:VCALENDAR\r\n";
}

result::Expected<std::string, Error> patch_reminder(ItemTextEdit edit, const ReminderFields& r, std::uint32_t fields, Date now) {
  edit.set_property("DTSTAMP", one_line(icalproperty_new_dtstamp(utc_time(now))));
  edit.set_property("LAST-MODIFIED", one_line(icalproperty_new_lastmodified(utc_time(now))));
  if (fields & Reminder::kTitle) edit.set_property("SUMMARY", {text_line(icalproperty_new_summary, r.title)});
  if (fields & Reminder::kNotes) {
    bool none = !r.notes || r.notes->empty();
    edit.set_property("DESCRIPTION",
                      none ? std::vector<std::string>{} : std::vector{text_line(icalproperty_new_description, *r.notes)});
  }
  if (fields & Reminder::kUrl) {
    bool none = !r.url || r.url->absolute_string.empty();
    edit.set_property("URL", none ? std::vector<std::string>{}
                                  : std::vector{text_line(icalproperty_new_url, r.url->absolute_string)});
  }
  if (fields & Reminder::kCompleted) {
    edit.set_property("STATUS",
                      one_line(icalproperty_new_status(r.completed ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION)));
    edit.set_property("COMPLETED", r.completed ? one_line(icalproperty_new_completed(utc_time(now)))
                                               : std::vector<std::string>{});
  }
  if (fields & Reminder::kPriority) {
    edit.set_property("PRIORITY", r.priority == 0 ? std::vector<std::string>{}
                                                  : one_line(icalproperty_new_priority(
                                                      static_cast<int>(std::clamp<std::int64_t>(r.priority, -999, 999)))));
  }
  if ((fields & Reminder::kDueDateComponents) && !put_time(edit, ICAL_DUE_PROPERTY, "DUE", r.due_date_components)) {
    return Error{"提醒事项的截止日期无效。"};
  }
  if ((fields & Reminder::kStartDateComponents) &&
      !put_time(edit, ICAL_DTSTART_PROPERTY, "DTSTART", r.start_date_components)) {
    return Error{"提醒事项的开始日期无效。"};
  }
  if (fields & Reminder::kAlarms) {
    auto blocks = alarm_blocks(r.alarms);
    // The message a save gives for an alarm text it cannot read.
    if (!blocks) return Error{"提醒时间无效"};
    edit.set_children("VALARM", *blocks);
  }
  if ((fields & Reminder::kRecurrenceRules) && !put_rules(edit, r.recurrence_rules)) {
    return Error{"提醒事项的重复规则无效。"};
  }
  return edit.finish();
}

}  // namespace platform::local
