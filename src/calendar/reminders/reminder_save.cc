#include "calendar/reminders/reminder_save.h"

#include "calendar/command/request_params.h"
#include "calendar/reminders/field_changes.h"
#include "calendar/reminders/recurrence_count_check.h"
#include "calendar/reminders/reminder_record.h"
#include "calendar/reminders/save_request.h"
#include "calendar/reminders/task_marker.h"

namespace bridge::reminders {
namespace {

// Puts the plan on the in-memory reminder; nothing reaches the store here.
void apply_plan(platform::Platform& platform, const Json& params, const SavePlan& plan, bool has_target,
                platform::Reminder& reminder) {
  auto changed = [&](std::string_view key) { return should_write_field(params, key, has_target); };
  // An existing reminder stays in its own list, whatever "listId" names.
  if (!has_target) reminder.set_calendar(plan.list);
  if (changed("title")) reminder.set_title(plan.title);
  if (changed("notes")) reminder.set_notes(std::string(text_param(params, "notes").value_or("")));
  if (changed("due")) reminder.set_due_date_components(plan.due);
  if (changed("priority")) reminder.set_priority(plan.priority);
  if (!has_target) {
    if (std::optional<std::string_view> client_id = text_param(params, "clientId")) {
      reminder.set_url(task_marker_url(platform, *client_id));
    }
  }
  if (plan.alarm) {
    std::vector<platform::Alarm> alarms;
    if (*plan.alarm) alarms.push_back(**plan.alarm);
    reminder.set_alarms(std::move(alarms));
  }
  // A repeating reminder starts on its due date.
  if (plan.due && changed("due") && reminder.has_recurrence_rules()) reminder.set_start_date_components(plan.due);
  if (plan.rules) {
    if (!plan.rules->empty() && (!reminder.start_date_components() || changed("due"))) {
      reminder.set_start_date_components(plan.due);
    }
    reminder.set_recurrence_rules(*plan.rules);
  }
  if (changed("completed")) {
    const Json* completed = find_param(params, "completed");
    bool is_completed = completed && completed->is_boolean() && completed->get<bool>();
    if (is_completed != reminder.is_completed()) reminder.set_completed(is_completed);
  }
}

// A counted end the platform may not keep when it reopens the reminder.
bool requests_counted_end(const Json& params) {
  const Json* rules = find_param(params, "recurrenceRules");
  if (rules == nullptr || !rules->is_array()) return false;
  for (const Json& rule : *rules) {
    const Json* end = find_param(rule, "end");
    const Json* count = end ? find_param(*end, "count") : nullptr;
    if (count && count->is_number()) return true;
  }
  return false;
}

bool is_json_false(const Json* value) { return value && value->is_boolean() && !value->get<bool>(); }

}  // namespace

CommandOutcome save_reminder(platform::Platform& platform, platform::EventStore& store, const Json& params,
                             const std::vector<platform::CalendarRef>& selected_lists,
                             const platform::Reminder* target) {
  Expected<SavePlan> checked = check_save_request(params, selected_lists, target);
  if (failed(checked)) return std::get<Failure>(std::move(checked));
  const SavePlan& plan = std::get<SavePlan>(checked);

  const bool has_target = target != nullptr;
  platform::Reminder reminder = has_target ? *target : store.new_reminder();
  apply_plan(platform, params, plan, has_target, reminder);
  if (std::optional<platform::Error> error = store.save_reminder(reminder)) {
    return CommandOutcome::failure(error->localized_description);
  }

  if (has_target && plan.rules && is_json_false(find_param(params, "completed")) && requests_counted_end(params)) {
    return verify_recurrence_count(platform, params, reminder);
  }
  return reminder_to_record(platform, reminder);
}

CommandOutcome delete_reminder(platform::EventStore& store, const platform::Reminder* target) {
  if (target != nullptr) {
    if (std::optional<platform::Error> error = store.remove_reminder(*target)) {
      return CommandOutcome::failure(error->localized_description);
    }
  }
  return Json(nullptr);
}

}  // namespace bridge::reminders
