#include "sample_items.h"

#include <cstdio>

namespace bench {
namespace {

const char* const kBerlinZone =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// "YYYYMMDD" of day `day` of 2026, months taken as 28 days so every date exists.
std::string date_of(int day) {
  char text[16];
  std::snprintf(text, sizeof text, "2026%02d%02d", day / 28 % 12 + 1, day % 28 + 1);
  return text;
}

std::string wrap(const std::string& zones, const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//samples//EN\r\n" + zones + body + "END:VCALENDAR\r\n";
}

std::string event_head(int day) {
  return "BEGIN:VEVENT\r\nUID:bench-" + std::to_string(day) + "\r\nDTSTAMP:20250301T000000Z\r\n"
         "SUMMARY:Team sync " + std::to_string(day) + "\r\nLOCATION:https://meet.google.com/abc-defg-hij\r\n"
         "DESCRIPTION:Agenda\\nPoint one\\, point two\\nJoin https://teams.microsoft.com/l/meetup-join/x\r\n";
}

}  // namespace

std::string event_file_text(EventKind kind, int day) {
  const std::string date = date_of(day);
  std::string body = event_head(day);
  switch (kind) {
    case EventKind::utc:
      body += "DTSTART:" + date + "T090000Z\r\nDTEND:" + date + "T100000Z\r\n";
      break;
    case EventKind::zoned:
      body += "DTSTART;TZID=Asia/Tokyo:" + date + "T090000\r\nDTEND;TZID=Asia/Tokyo:" + date + "T100000\r\n";
      break;
    case EventKind::zone_in_file:
      body += "DTSTART;TZID=Europe/Berlin:" + date + "T090000\r\nDTEND;TZID=Europe/Berlin:" + date + "T100000\r\n";
      return wrap(kBerlinZone, body + "END:VEVENT\r\n");
    case EventKind::all_day:
      body += "DTSTART;VALUE=DATE:" + date + "\r\nDTEND;VALUE=DATE:" + date_of(day + 1) + "\r\n";
      break;
    case EventKind::weekly_repeating:
      body += "DTSTART;TZID=America/New_York:" + date + "T090000\r\nDTEND;TZID=America/New_York:" + date +
              "T093000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR\r\nEXDATE;TZID=America/New_York:" + date_of(day + 7) +
              "T090000\r\n";
      break;
    case EventKind::daily_with_override: {
      body += "DTSTART:" + date + "T070000Z\r\nDTEND:" + date + "T071500Z\r\nRRULE:FREQ=DAILY;COUNT=400\r\n"
              "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
      const std::string moved = date_of(day + 14);
      std::string override_event = "BEGIN:VEVENT\r\nUID:bench-" + std::to_string(day) +
                                   "\r\nDTSTAMP:20250301T000000Z\r\nRECURRENCE-ID:" + moved +
                                   "T070000Z\r\nSUMMARY:Moved\r\nDTSTART:" + moved + "T100000Z\r\nDTEND:" + moved +
                                   "T101500Z\r\nEND:VEVENT\r\n";
      return wrap("", body + "END:VEVENT\r\n" + override_event);
    }
  }
  return wrap("", body + "END:VEVENT\r\n");
}

std::vector<std::string> mixed_event_files(int count) {
  const EventKind kinds[] = {EventKind::utc,     EventKind::zoned,           EventKind::zone_in_file,
                             EventKind::all_day, EventKind::weekly_repeating, EventKind::daily_with_override};
  std::vector<std::string> files;
  files.reserve(count);
  for (int i = 0; i < count; ++i) {
    // Repeating events are about one in six, as in the generated stores.
    files.push_back(event_file_text(kinds[i % 6], i * 7 % 336));
  }
  return files;
}

std::string reminder_file_text(int number) {
  const std::string n = std::to_string(number);
  return wrap("", "BEGIN:VTODO\r\nUID:todo-" + n + "\r\nDTSTAMP:20250301T000000Z\r\nCREATED:20250301T000000Z\r\n"
                  "SUMMARY:Review budget " + n + "\r\nURL:zolt-task:task-" + n + "\r\n"
                  "DESCRIPTION:Notes for this task\\nsecond line\r\nPRIORITY:5\r\nSTATUS:NEEDS-ACTION\r\n"
                  "DUE;TZID=Europe/Berlin:20250301T093000\r\nDTSTART;TZID=Europe/Berlin:20250301T093000\r\n"
                  "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR\r\n"
                  "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\n"
                  "TRIGGER;VALUE=DATE-TIME:20250301T083000Z\r\nEND:VALARM\r\nEND:VTODO\r\n");
}

}  // namespace bench
