// Index rows as damage or another program leaves them: the first byte chooses a
// reminder's packed row (even) or a file's event digest (odd), the rest is the
// row. A row either does not read, and the store reads the file instead, or reads
// as what the store itself keeps: texts a reply can show (UTF-8), numbers in the
// ranges a file gives, and a row that, written again, reads the same.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/local/index/event_digest.h"
#include "platform/local/index/packed_reminder.h"
#include "text/utf8_text.h"

namespace {

using platform::local::ReminderRowRef;

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "index_rows_fuzz: %s\n", what);
  std::abort();
}

bool shown(const std::optional<std::string>& text) { return !text || text::is_valid_utf8(*text); }

bool in_range(std::int64_t value, std::int64_t least, std::int64_t most) {
  return value == platform::kUndefinedComponent || (value >= least && value <= most);
}

void check_date(const std::optional<platform::DateComponents>& c) {
  if (!c) return;
  check(in_range(c->year, 0, 9999) && in_range(c->month, 1, 12) && in_range(c->day, 1, 31) &&
            in_range(c->hour, 0, 23) && in_range(c->minute, 0, 59) && in_range(c->second, 0, 60) &&
            in_range(c->nanosecond, 0, 999999999),
        "a date field out of its range reads");
  check(shown(c->calendar) && (!c->time_zone || text::is_valid_utf8(c->time_zone->name())),
        "a date's calendar or zone is no UTF-8");
}

// Everything a reply or a save takes from a reminder row but its zone and dates, as one text.
std::string described(const platform::ReminderFields& f, const std::vector<std::string>& rules) {
  std::string out = f.calendar_item_external_identifier.value_or("-") + "|" + f.title + "|" +
                    f.notes.value_or("-") + "|" + (f.url ? f.url->absolute_string : "-") + "|" +
                    std::to_string(f.completed) + "|" + std::to_string(f.priority);
  for (const platform::Alarm& alarm : f.alarms) {
    out += "|" + (alarm.absolute_date ? std::to_string(alarm.absolute_date->seconds_since_1970) : "-");
  }
  for (const std::string& rule : rules) out += "|" + rule;
  return out;
}

void check_reminder_row(std::string_view row) {
  ReminderRowRef read = platform::local::row_from_packed(row);
  if (!read) return;
  const platform::ReminderFields& f = read->fields;
  check(shown(f.calendar_item_external_identifier) && text::is_valid_utf8(f.title) && shown(f.notes) &&
            (!f.url || text::is_valid_utf8(f.url->absolute_string)),
        "a reminder's text that is no UTF-8 reads");
  check(f.priority >= 0 && f.priority <= 9, "a priority out of 0 to 9 reads");
  check_date(f.start_date_components);
  check_date(f.due_date_components);
  if (f.time_zone) check(text::is_valid_utf8(f.time_zone->name()), "a zone name that is no UTF-8 reads");
  for (const platform::Alarm& alarm : f.alarms) {
    if (alarm.absolute_date) check(std::isfinite(alarm.absolute_date->seconds_since_1970), "an alarm at no instant reads");
  }
  for (const std::string& rule : read->rule_values) {
    check(rule.find_first_of("\r\n") == std::string::npos, "a rule value of several lines reads");
  }
  // Kept again, the row reads the same.
  auto packed = platform::local::packed_reminder(*read);
  check(packed.has_value(), "a row that reads cannot be kept again");
  ReminderRowRef again = platform::local::row_from_packed(*packed);
  check(again != nullptr, "a row kept again does not read");
  const platform::ReminderFields& kept = again->fields;
  check(described(kept, again->rule_values) == described(f, read->rule_values) && kept.time_zone == f.time_zone &&
            kept.start_date_components == f.start_date_components && kept.due_date_components == f.due_date_components,
        "a row kept again reads otherwise");
}

void check_event_row(std::string_view row) {
  auto events = platform::local::events_from_digest(row);
  if (!events) return;
  for (const platform::local::ItemEvents& item : events->items) {
    // The suffix ends every identifier of the item's events in a reply.
    const std::string& suffix = item.identifier_suffix;
    check(suffix.empty() || (suffix.front() == '/' && text::is_valid_utf8(suffix)), "an identifier suffix reads");
    for (const platform::local::OverrideEvent& o : item.overrides) {
      check(o.event.recurrence_id.has_value(), "an override without a RECURRENCE-ID reads");
    }
  }
  auto written = platform::local::event_digest_of(*events);
  if (!written) return;
  auto again = platform::local::events_from_digest(*written);
  check(again.has_value() && again->items.size() == events->items.size(), "a digest written again does not read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view row(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    check_reminder_row(row);
  } else {
    check_event_row(row);
  }
  return 0;
}
