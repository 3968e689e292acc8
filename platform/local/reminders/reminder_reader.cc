#include "platform/local/reminders/reminder_reader.h"

#include "platform/local/ical/components_ical.h"
#include "platform/local/ical/content_lines.h"
#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/recurrence_ical.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/ical/text_properties.h"
#include "platform/local/text/foundation_url_syntax.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

icalproperty* first(icalcomponent* component, icalproperty_kind kind) {
  return icalcomponent_get_first_property(component, kind);
}

std::optional<std::string> text_of(icalproperty* property, const char* (*get)(const icalproperty*)) {
  if (!property) return std::nullopt;
  const char* text = get(property);
  if (!text) return std::nullopt;
  return text::valid_utf8(text);
}

// `local` is set when the date was read in the machine's zone.
std::optional<Date> absolute_trigger(icalcomponent* alarm, icalcomponent* vcalendar, bool& local) {
  icalproperty* trigger = first(alarm, ICAL_TRIGGER_PROPERTY);
  if (!trigger) return std::nullopt;
  icaltriggertype value = icalproperty_get_trigger(trigger);
  if (icaltime_is_null_time(value.time)) return std::nullopt;
  IcalZone zone = ical_zone_of(trigger, value.time, vcalendar);
  auto date = instant_of(value.time, zone);
  if (date && (value.time.is_date || zone.kind == IcalZone::Kind::floating)) local = true;
  return date;
}

std::vector<Alarm> alarms_of(const ParsedItem& item, icalcomponent* todo, const std::vector<ContentLine>& lines,
                             std::optional<ComponentSpan> span, bool& local) {
  std::vector<Alarm> alarms;
  for (icalcomponent* alarm = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT); alarm;
       alarm = icalcomponent_get_next_component(todo, ICAL_VALARM_COMPONENT)) {
    alarms.push_back(Alarm{absolute_trigger(alarm, vcalendar_of(todo), local), nullptr});
  }
  // The same VALARMs as the file's lines hold them, when both readings agree.
  std::vector<ComponentSpan> blocks;
  if (span) blocks = child_components(lines, span, "VALARM");
  if (blocks.size() == alarms.size()) {
    for (std::size_t i = 0; i < alarms.size(); ++i) {
      auto origin = std::make_shared<StoredAlarmOrigin>();
      origin->block = item.text.substr(lines[blocks[i].begin_line].begin,
                                       lines[blocks[i].end_line].end - lines[blocks[i].begin_line].begin);
      origin->absolute_date = alarms[i].absolute_date;
      alarms[i].origin = std::move(origin);
    }
  }
  return alarms;
}

// Rules are read from the file's lines: libical forgets whether WKST was written.
void read_rules(const ParsedItem& item, const std::vector<ContentLine>& lines, std::optional<ComponentSpan> span,
                ReminderRow& row) {
  if (!span) return;
  std::vector<RecurrenceRule> rules;
  for (std::size_t index : own_properties(lines, *span, "RRULE")) {
    std::string line = unfolded_line(item.text, lines[index]);
    std::string value(line_value(line));
    if (auto rule = rule_from_rrule_value(value)) {
      rules.push_back(std::move(*rule));
      row.rule_values.push_back(std::move(value));
    }
  }
  if (!rules.empty()) row.fields.recurrence_rules = std::move(rules);
}

}  // namespace

TodoLines todo_lines_of(const ParsedItem& item) {
  TodoLines found;
  found.lines = split_content_lines(item.text);
  found.todos = item_component_spans(found.lines, "VTODO");
  return found;
}

ReminderRow reminder_row_of(const ParsedItem& parsed, const ItemPart& part, const TodoLines* located) {
  const ParsedItem* item = &parsed;
  icalcomponent* todo = part.main();
  icalcomponent* vcalendar = vcalendar_of(todo);
  std::optional<TodoLines> own;
  if (!located) located = &own.emplace(todo_lines_of(parsed));
  const std::vector<ContentLine>& lines = located->lines;
  // The lines' VTODOs name the same components as libical's only when they are as many.
  std::optional<ComponentSpan> span;
  std::size_t position = part.main_position();
  if (located->todos.size() == item->count_of(ICAL_VTODO_COMPONENT) && position < located->todos.size()) {
    span = located->todos[position];
  }

  ReminderRow row;
  ReminderFields& fields = row.fields;
  fields.calendar_item_external_identifier = text_of(first(todo, ICAL_UID_PROPERTY), icalproperty_get_uid);
  if (span) {
    fields.title = text::valid_utf8(text_property(item->text, lines, *span, "SUMMARY").value_or(""));
    if (auto notes = text_property(item->text, lines, *span, "DESCRIPTION")) fields.notes = text::valid_utf8(*notes);
  } else {
    fields.title = text_of(first(todo, ICAL_SUMMARY_PROPERTY), icalproperty_get_summary).value_or("");
    fields.notes = text_of(first(todo, ICAL_DESCRIPTION_PROPERTY), icalproperty_get_description);
  }
  if (auto url = text_of(first(todo, ICAL_URL_PROPERTY), icalproperty_get_url); url && foundation_url_accepts(*url)) {
    fields.url = Url{*url};
  }
  icalproperty* status = first(todo, ICAL_STATUS_PROPERTY);
  fields.completed = (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) ||
                     first(todo, ICAL_COMPLETED_PROPERTY) != nullptr;
  if (icalproperty* priority = first(todo, ICAL_PRIORITY_PROPERTY)) fields.priority = icalproperty_get_priority(priority);

  icalproperty* due = first(todo, ICAL_DUE_PROPERTY);
  icalproperty* start = first(todo, ICAL_DTSTART_PROPERTY);
  if (due) fields.due_date_components = components_of_property(due, vcalendar);
  if (start) fields.start_date_components = components_of_property(start, vcalendar);
  if (due) fields.time_zone = zone_of_property(due, vcalendar);
  if (!fields.time_zone && start) fields.time_zone = zone_of_property(start, vcalendar);

  fields.alarms = alarms_of(*item, todo, lines, span, row.follows_local_zone);
  read_rules(*item, lines, span, row);
  return row;
}

Reminder reminder_from_row(ReminderFields fields, std::string identifier, CalendarRef calendar,
                           ParsedItemRef stored) {
  fields.calendar_item_identifier = std::move(identifier);
  fields.calendar = std::move(calendar);
  auto origin = std::make_shared<StoredReminderOrigin>();
  origin->item = std::move(stored);
  return Reminder(std::move(fields), std::move(origin), false);
}

Reminder reminder_from_item(const ParsedItem& item, const ItemPart& part, ParsedItemRef stored, CalendarRef calendar) {
  return reminder_from_row(reminder_row_of(item, part).fields, item.identifier_of(part), std::move(calendar),
                           std::move(stored));
}

}  // namespace platform::local
