#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/calendar.h"
#include "platform/date.h"
#include "platform/recurrence.h"

namespace platform {

// An alarm; relative alarms have no absolute date.
struct Alarm {
  std::optional<Date> absolute_date;
  std::shared_ptr<const ItemOrigin> origin;  // backend data of a stored alarm
  static Alarm with_absolute_date(Date date) { return Alarm{date, nullptr}; }
};

// A parsed URL; `absolute_string` is its text as the platform writes it.
struct Url {
  std::string absolute_string;
  friend bool operator==(const Url&, const Url&) = default;
};

// Every value of a reminder the bridge reads or writes.
struct ReminderFields {
  std::string calendar_item_identifier;
  std::optional<std::string> calendar_item_external_identifier;
  CalendarRef calendar;
  std::string title;
  std::optional<std::string> notes;
  std::optional<Url> url;
  std::optional<TimeZone> time_zone;
  bool completed = false;
  std::int64_t priority = 0;
  std::optional<DateComponents> start_date_components;
  std::optional<DateComponents> due_date_components;
  std::vector<Alarm> alarms;
  std::optional<std::vector<RecurrenceRule>> recurrence_rules;
};

// A reminder: values plus what was changed since it was read, so a backend
// writes exactly the fields that were set and keeps the rest as stored.
class Reminder {
 public:
  enum Field : std::uint32_t {
    kCalendar = 1u << 0,
    kTitle = 1u << 1,
    kNotes = 1u << 2,
    kUrl = 1u << 3,
    kCompleted = 1u << 4,
    kPriority = 1u << 5,
    kStartDateComponents = 1u << 6,
    kDueDateComponents = 1u << 7,
    kAlarms = 1u << 8,
    kRecurrenceRules = 1u << 9,
  };

  Reminder() = default;
  Reminder(ReminderFields fields, std::shared_ptr<const ItemOrigin> origin, bool is_new)
      : fields_(std::move(fields)), origin_(std::move(origin)), is_new_(is_new) {}

  const std::string& calendar_item_identifier() const { return fields_.calendar_item_identifier; }
  const std::optional<std::string>& calendar_item_external_identifier() const {
    return fields_.calendar_item_external_identifier;
  }
  const CalendarRef& calendar() const { return fields_.calendar; }
  const std::string& title() const { return fields_.title; }
  const std::optional<std::string>& notes() const { return fields_.notes; }
  const std::optional<Url>& url() const { return fields_.url; }
  const std::optional<TimeZone>& time_zone() const { return fields_.time_zone; }
  bool is_completed() const { return fields_.completed; }
  std::int64_t priority() const { return fields_.priority; }
  const std::optional<DateComponents>& start_date_components() const { return fields_.start_date_components; }
  const std::optional<DateComponents>& due_date_components() const { return fields_.due_date_components; }
  const std::vector<Alarm>& alarms() const { return fields_.alarms; }
  const std::optional<std::vector<RecurrenceRule>>& recurrence_rules() const { return fields_.recurrence_rules; }
  bool has_recurrence_rules() const { return fields_.recurrence_rules && !fields_.recurrence_rules->empty(); }

  void set_calendar(CalendarRef v) { fields_.calendar = std::move(v); changed_ |= kCalendar; }
  void set_title(std::string v) { fields_.title = std::move(v); changed_ |= kTitle; }
  void set_notes(std::optional<std::string> v) { fields_.notes = std::move(v); changed_ |= kNotes; }
  void set_url(std::optional<Url> v) { fields_.url = std::move(v); changed_ |= kUrl; }
  void set_completed(bool v) { fields_.completed = v; changed_ |= kCompleted; }
  void set_priority(std::int64_t v) { fields_.priority = v; changed_ |= kPriority; }
  void set_start_date_components(std::optional<DateComponents> v) {
    fields_.start_date_components = std::move(v);
    changed_ |= kStartDateComponents;
  }
  void set_due_date_components(std::optional<DateComponents> v) {
    fields_.due_date_components = std::move(v);
    changed_ |= kDueDateComponents;
  }
  // Nothing (setAlarms: nil) and an empty list both remove every alarm.
  void set_alarms(std::vector<Alarm> v) { fields_.alarms = std::move(v); changed_ |= kAlarms; }
  // Nothing (nil) and an empty list both remove every rule.
  void set_recurrence_rules(std::optional<std::vector<RecurrenceRule>> v) {
    if (v && v->empty()) v.reset();
    fields_.recurrence_rules = std::move(v);
    changed_ |= kRecurrenceRules;
  }

  // For backends.
  const ReminderFields& fields() const { return fields_; }
  std::uint32_t changed_fields() const { return changed_; }
  bool is_new() const { return is_new_; }
  const std::shared_ptr<const ItemOrigin>& origin() const { return origin_; }
  // After a successful save: the stored state becomes the reminder's new baseline.
  void mark_saved(std::string identifier, std::optional<std::string> external_identifier,
                  std::shared_ptr<const ItemOrigin> origin) {
    fields_.calendar_item_identifier = std::move(identifier);
    fields_.calendar_item_external_identifier = std::move(external_identifier);
    origin_ = std::move(origin);
    changed_ = 0;
    is_new_ = false;
  }

 private:
  ReminderFields fields_;
  std::shared_ptr<const ItemOrigin> origin_;
  std::uint32_t changed_ = 0;
  bool is_new_ = false;
};

}  // namespace platform
