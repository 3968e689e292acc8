#pragma once

#include <string>
#include <vector>

#include "platform/reminder.h"
#include "platform/local/ical/content_lines.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/reminders/reminder_row.h"

namespace platform::local {

// A file's lines and VTODO spans, located once for all of its reminders.
struct TodoLines {
  std::vector<ContentLine> lines;
  std::vector<ComponentSpan> todos;
};
TodoLines todo_lines_of(const ParsedItem& item);

// What one VTODO item of a file holds for a reminder, every text valid UTF-8;
// `lines` are the file's when given, else located now.
ReminderRow reminder_row_of(const ParsedItem& item, const ItemPart& part, const TodoLines* lines = nullptr);

// The reminder `identifier` of `calendar` with these fields. `stored` (the file
// version they were read from, or null to read the file again) is what the
// reminder keeps for a later save.
Reminder reminder_from_row(ReminderFields fields, std::string identifier, CalendarRef calendar, ParsedItemRef stored);

// Both at once, for a parsed item.
Reminder reminder_from_item(const ParsedItem& item, const ItemPart& part, ParsedItemRef stored, CalendarRef calendar);

}  // namespace platform::local
