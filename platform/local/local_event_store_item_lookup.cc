// Reading items of the local store: the event query and lookups by identifier.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

#include "platform/local/events/event_occurrences.h"
#include "platform/local/local_event_store.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/events/reach.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

void make_valid(std::string& text) {
  if (!text::is_valid_utf8(text)) text = text::valid_utf8(text);
}

void make_valid(std::optional<std::string>& text) {
  if (text) make_valid(*text);
}

// The event code hands over what libical read; the platform's texts are always UTF-8.
void make_texts_valid(Event& event) {
  make_valid(event.title);
  make_valid(event.location);
  make_valid(event.notes);
  make_valid(event.external_identifier);
  if (event.time_zone && !text::is_valid_utf8(event.time_zone->name())) {
    event.time_zone = TimeZone::named(text::valid_utf8(event.time_zone->name()));
  }
}

// The fields of a row: taken over when nobody else holds the row (one just read
// from the index), else copied.
ReminderFields fields_of(ReminderRowRef row) {
  // Rows are made as mutable objects and only handed around as const.
  if (row.use_count() == 1) return std::move(const_cast<ReminderRow&>(*row).fields);
  return row->fields;
}

}  // namespace

std::vector<Event> LocalEventStore::events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) {
  return first_in_window(start, end, calendars, SIZE_MAX);
}

std::vector<Event> LocalEventStore::first_in_window(Date start, Date end, const std::vector<CalendarRef>& calendars,
                                                    std::size_t limit) {
  std::vector<EventSource> sources;
  std::vector<std::string> folders;
  std::set<std::string> seen;
  DayRange days = days_of(start, end);
  for (const CalendarRef& calendar : calendars) {
    if (!calendar || !seen.insert(calendar->identifier).second) continue;
    const Collection* collection = collection_named(calendar->identifier);
    if (!collection) continue;
    // Only the files that reach the window are read back, from the index or the file.
    auto found = items_.events_in(collection->folder, days);
    if (!found.ok()) continue;
    folders.push_back(collection->folder);
    for (auto& [name, events] : found.value()) {
      sources.push_back(EventSource{std::move(events), collection->folder + "/" + name, collection->calendar});
    }
  }
  std::vector<Event> events = events_in_window(sources, start, end, limit);
  // Rules walked anew for this window are kept with their files' rows.
  bool walked = std::any_of(sources.begin(), sources.end(),
                            [](const EventSource& source) { return source.events && source.events->rule_steps_changed; });
  if (walked) {
    for (const std::string& folder : folders) items_.keep_rule_steps(folder);
  }
  for (Event& event : events) make_texts_valid(event);
  return events;
}

// Events come in order of start, and the events of [start, t) are exactly those of
// [start, end) that start before t: so the first `limit` of a shorter window that
// holds that many are the first `limit` of the whole one. Windows from a day on
// (the index knows files by the days they reach), each grown by what the last one
// held (four times when it held nothing), find them without expanding a long window
// in full; files read for one window stay read for the next.
std::vector<Event> LocalEventStore::first_events_matching(Date start, Date end,
                                                          const std::vector<CalendarRef>& calendars,
                                                          std::size_t limit) {
  if (limit == 0) return {};
  constexpr double kFirstWindowSeconds = 86400;
  constexpr double kGrowthWithoutEvents = 4;
  // A window half again as long as the events so far promise (they are seldom
  // spread evenly over a day), so that one more usually does; never less than twice
  // the last, nor more than sixteen times.
  constexpr double kMargin = 1.5, kLeastGrowth = 2, kMostGrowth = 16;
  double span = kFirstWindowSeconds;
  while (std::isfinite(start.seconds_since_1970)) {
    Date shorter{start.seconds_since_1970 + span};
    if (!(shorter < end)) break;
    std::vector<Event> events = first_in_window(start, shorter, calendars, limit);
    if (events.size() >= limit) return events;
    double growth = events.empty() ? kGrowthWithoutEvents
                                   : std::clamp(kMargin * static_cast<double>(limit) / static_cast<double>(events.size()),
                                                kLeastGrowth, kMostGrowth);
    span *= growth;
  }
  return first_in_window(start, end, calendars, limit);
}

std::optional<CalendarItem> LocalEventStore::calendar_item_with_identifier(std::string_view identifier) {
  auto name = split_item_identifier(identifier);
  if (!name) return std::nullopt;
  const Collection* collection = collection_named(name->folder);
  if (!collection) return std::nullopt;
  // A reminder a fetch just listed reads as the fetch saw it, file unread.
  if (ReminderRowRef row = items_.known_reminder(name->folder, name->name, name->uid)) {
    return CalendarItem(reminder_from_row(fields_of(std::move(row)), std::string(identifier), collection->calendar, nullptr));
  }
  ParsedItemRef item = items_.item(name->folder, name->name);
  if (!item) return std::nullopt;
  // An event and a task of one UID share an identifier: it names the task.
  const ItemPart* part = item->part_named(name->uid, ICAL_VTODO_COMPONENT);
  if (!part) part = item->part_named(name->uid, ICAL_VEVENT_COMPONENT);
  // A file of one item is named without a UID, and an item of several with one.
  if (!part || item->identifier_of(*part) != identifier) return std::nullopt;
  if (part->kind == ICAL_VTODO_COMPONENT) {
    const Reminder* reminder = reminder_of(item, static_cast<std::size_t>(part - item->parts.data()), collection->calendar);
    return reminder ? std::optional<CalendarItem>(*reminder) : std::nullopt;
  }
  item = with_tree(std::move(item));
  part = item ? item->part_named(name->uid, ICAL_VEVENT_COMPONENT) : nullptr;
  if (!part) return std::nullopt;
  if (auto event = stored_event(*item, *part, collection->calendar)) {
    make_texts_valid(*event);
    return CalendarItem(std::move(*event));
  }
  return std::nullopt;
}

}  // namespace platform::local
