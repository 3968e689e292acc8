#include "calendar/reminders/reminder_request.h"

#include <array>
#include <string_view>

#include "calendar/command/request_params.h"
#include "calendar/reminders/field_changes.h"

namespace bridge::reminders {
namespace {

// The request's key of each ReminderField, in the enum's order.
constexpr std::array<std::string_view, kReminderFieldCount> kFieldKeys = {
    "title", "notes", "due", "priority", "recurrenceRules", "remindAt", "completed"};

std::optional<std::string> text_of(const Json& params, std::string_view key) {
  std::optional<std::string_view> text = text_param(params, key);
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

// The texts of "listIds"; empty when it is missing or not an array of texts only.
std::vector<std::string> list_ids_of(const Json& params) {
  const Json* value = find_param(params, "listIds");
  std::vector<std::string> ids;
  if (value == nullptr || !value->is_array()) return ids;
  for (const Json& element : *value) {
    if (!element.is_string()) return {};
    ids.push_back(element.get<std::string>());
  }
  return ids;
}

bool is_non_negative_integer(const Json& value) {
  return value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0);
}

// A counted end the platform may not keep when it reopens the reminder.
bool has_counted_end(const Json& rules) {
  if (!rules.is_array()) return false;
  for (const Json& rule : rules) {
    const Json* end = find_param(rule, "end");
    const Json* count = end ? find_param(*end, "count") : nullptr;
    if (count && count->is_number()) return true;
  }
  return false;
}

}  // namespace

ReminderRequest read_reminder_request(const Json& params) {
  ReminderRequest request;
  request.list_ids = list_ids_of(params);
  request.names_unsupported_feature =
      find_param(params, "parentId") || find_param(params, "tags") || find_param(params, "smartListId");
  request.id = text_of(params, "id");
  request.client_id = text_of(params, "clientId");
  request.list_id = text_of(params, "listId");
  request.title = text_of(params, "title").value_or("");
  request.notes = text_of(params, "notes").value_or("");
  request.due = text_of(params, "due");
  if (const Json* priority = find_param(params, "priority"); priority && is_non_negative_integer(*priority)) {
    request.priority = priority->get<std::uint64_t>();
  }
  if (const Json* rules = find_param(params, "recurrenceRules"); rules && !rules->is_null()) {
    request.recurrence_rules = *rules;
    request.requests_counted_end = has_counted_end(*rules);
  }
  request.remind_at = text_of(params, "remindAt");
  if (const Json* completed = find_param(params, "completed"); completed && completed->is_boolean()) {
    request.completed = completed->get<bool>();
  }
  for (std::size_t i = 0; i < kFieldKeys.size(); ++i) {
    request.differs_from_previous[i] = differs_from_previous(params, kFieldKeys[i]);
  }
  return request;
}

}  // namespace bridge::reminders
