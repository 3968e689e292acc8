// The local store's reading and writing of one item text, without files: the events
// of every item are expanded over a week, and for each reminder item of the text
// (a file may hold several, and several revisions of one) its reminder goes through
// the index's packed form and back, a change of title and state is written into
// the text and read again, and the item is taken out of a file of several.
// What the packed form gives back must be the reminder read from the text; a
// written text that reads back (the store writes no other) must hold what was
// written, and due and start dates written back as they were read must name the
// same times again. Each event is also read as a lookup reads it, and through the
// index's compact form, which must give the same occurrences.

#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/local/ical/components_ical.h"
#include "platform/local/events/event_occurrences.h"
#include "platform/local/index/event_digest.h"
#include "platform/local/ical/item_text_edit.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/index/packed_reminder.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/reminders/reminder_patch.h"
#include "platform/local/reminders/reminder_reader.h"

namespace {

using platform::Reminder;
using platform::ReminderFields;

constexpr double kYear2025 = 1735689600;  // 2025-01-01T00:00:00Z

// A broken invariant names its line, which inlining hides from the stack trace.
void check_at(bool holds, int line) {
  if (holds) return;
  std::fprintf(stderr, "store_text_fuzz: invariant broken at line %d\n", line);
  std::abort();
}
#define check(holds) check_at((holds), __LINE__)

std::string block_of(const platform::Alarm& alarm) {
  auto stored = std::dynamic_pointer_cast<const platform::local::StoredAlarmOrigin>(alarm.origin);
  return stored ? stored->block : std::string("\x01none");
}

void check_same(const ReminderFields& a, const ReminderFields& b) {
  check(a.calendar_item_external_identifier == b.calendar_item_external_identifier);
  check(a.title == b.title && a.notes == b.notes && a.url == b.url && a.time_zone == b.time_zone);
  check(a.completed == b.completed && a.priority == b.priority);
  check(a.start_date_components == b.start_date_components && a.due_date_components == b.due_date_components);
  check(a.alarms.size() == b.alarms.size());
  for (std::size_t i = 0; i < a.alarms.size(); ++i) {
    check(a.alarms[i].absolute_date == b.alarms[i].absolute_date && block_of(a.alarms[i]) == block_of(b.alarms[i]));
  }
  check(a.recurrence_rules.has_value() == b.recurrence_rules.has_value());
  if (a.recurrence_rules) check(a.recurrence_rules->size() == b.recurrence_rules->size());
}

void check_same_event(const platform::Event& a, const platform::Event& b) {
  check(a.calendar_item_identifier == b.calendar_item_identifier && a.external_identifier == b.external_identifier);
  check(a.title == b.title && a.location == b.location && a.notes == b.notes);
  check(a.is_all_day == b.is_all_day && a.has_recurrence_rules == b.has_recurrence_rules);
  // NaN never shows in a window's occurrences, so == is exact here.
  check(a.start_date == b.start_date && a.end_date == b.end_date);
  check(a.time_zone.has_value() == b.time_zone.has_value());
  if (a.time_zone) check(a.time_zone->name() == b.time_zone->name());
}

void check_same_time(const std::optional<platform::DateComponents>& a, const std::optional<platform::DateComponents>& b) {
  check(a.has_value() == b.has_value());
  if (a) check(platform::local::names_same_time(*a, *b));
}

// One VTODO item of the file: its row through the packed form and back, then a
// change of title and state written as the store writes it (its older revisions
// dropped, every other item kept), read again; then the item taken out.
void check_reminder(const std::string& text, const platform::local::ParsedItem& item,
                    const platform::local::ItemPart& part) {
  platform::local::ReminderRow row = platform::local::reminder_row_of(item, part);
  if (auto packed = platform::local::packed_reminder(row)) {
    platform::local::ReminderRowRef back = platform::local::row_from_packed(*packed);
    check(back != nullptr);
    check_same(row.fields, back->fields);
    check(back->rule_values == row.rule_values);
  }

  auto edit = platform::local::ItemTextEdit::open(text, "VTODO", platform::local::kProductId, part.main_position());
  if (!edit || edit->component_count() != item.count_of(ICAL_VTODO_COMPONENT)) return;
  if (part.master) {
    for (const auto& old : part.stale) edit->remove_component(old.position);
  }
  ReminderFields changed = row.fields;
  changed.title = "fuzz \xe6\x94\xb9";
  changed.completed = !changed.completed;
  auto patched = platform::local::patch_reminder(*edit, changed, Reminder::kTitle | Reminder::kCompleted,
                                                 platform::Date{kYear2025});
  std::optional<std::string> uid;
  if (item.holds_several()) uid = part.key;
  // A text that does not read back, or has lost or gained an item, is refused by the
  // store before it is written.
  auto saved_part = [&](const std::optional<platform::local::ParsedItem>& again) -> const platform::local::ItemPart* {
    // An item of several without a UID is named by its text, which the change alters
    // (the store gives it a UID first): it cannot be found again by that name.
    if (item.holds_several() && part.uid.empty()) return nullptr;
    bool same_items = again && again->parts.size() == item.parts.size();
    return same_items ? again->part_named(uid, ICAL_VTODO_COMPONENT) : nullptr;
  };
  if (patched.ok()) {
    auto again = platform::local::parse_item_text(patched.value());
    if (const auto* saved = saved_part(again)) {
      platform::local::ReminderRow reread = platform::local::reminder_row_of(*again, *saved);
      check(reread.fields.title == changed.title && reread.fields.completed == changed.completed);
      check(saved->stale.empty() || !part.master);
    }
  }

  // The due and start dates written back as they were read name the same times again,
  // whichever way their TZIDs resolved (tz database, Windows name, VTIMEZONE, none).
  if (auto times = platform::local::ItemTextEdit::open(text, "VTODO", platform::local::kProductId,
                                                        part.main_position())) {
    if (part.master) {
      for (const auto& old : part.stale) times->remove_component(old.position);
    }
    auto rewritten = platform::local::patch_reminder(
        *times, row.fields, Reminder::kDueDateComponents | Reminder::kStartDateComponents, platform::Date{kYear2025});
    if (rewritten.ok()) {
      auto read_back = platform::local::parse_item_text(rewritten.value());
      if (const auto* saved = saved_part(read_back)) {
        platform::local::ReminderRow after = platform::local::reminder_row_of(*read_back, *saved);
        check_same_time(row.fields.due_date_components, after.fields.due_date_components);
        check_same_time(row.fields.start_date_components, after.fields.start_date_components);
      }
    }
  }

  // The store takes out only an item its identifier names: UIDs that show as the
  // same text name none of them.
  if (!item.holds_several() || item.part_named(uid, ICAL_VTODO_COMPONENT) != &part) return;
  if (part.master) edit->remove_component(part.master->position);
  for (const auto& c : part.overrides) edit->remove_component(c.position);
  auto rest = platform::local::parse_item_text(edit->finish());
  if (rest && rest->parts.size() + 1 == item.parts.size()) {
    check(rest->part_named(part.key, ICAL_VTODO_COMPONENT) == nullptr ||
          rest->parts.size() == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto item = platform::local::parse_item_text(text);
  if (!item) return 0;
  // Every event of every item over a week, revisions and overrides resolved; the
  // index's compact form of them, when there is one, gives the same occurrences.
  platform::Date start{kYear2025 - 86400 * 3}, end{kYear2025 + 86400 * 4};
  auto read = std::make_shared<platform::local::FileEvents>(platform::local::read_file_events(item->root.get(), item->text));
  auto from_file = platform::local::events_in_window({platform::local::EventSource{read, "home/fuzz", nullptr}}, start, end);
  if (auto digest = platform::local::event_digest_of(*read)) {
    auto back = platform::local::events_from_digest(*digest);
    check(back.has_value());
    auto from_digest = platform::local::events_in_window(
        {platform::local::EventSource{std::make_shared<platform::local::FileEvents>(std::move(*back)), "home/fuzz", nullptr}},
        start, end);
    check(from_digest.size() == from_file.size());
    for (std::size_t i = 0; i < from_file.size() && i < from_digest.size(); ++i) check_same_event(from_file[i], from_digest[i]);
  }
  for (const auto& part : item->parts) {
    check(part.main() != nullptr);
    if (part.kind == ICAL_VTODO_COMPONENT) check_reminder(text, *item, part);
    if (part.kind == ICAL_VEVENT_COMPONENT) {
      // An event's times resolve their TZIDs as a reminder's do.
      auto event = platform::local::stored_event(*item, part, nullptr);
      check(!event || event->start_date <= event->end_date);
    }
  }
  return 0;
}
