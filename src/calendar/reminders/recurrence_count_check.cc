#include "calendar/reminders/recurrence_count_check.h"

#include <limits>

#include "calendar/access/access.h"
#include "calendar/command/request_params.h"
#include "calendar/reminder_recurrence/rule_conversion.h"
#include "calendar/reminders/reminder_fetch.h"
#include "calendar/reminders/reminder_messages.h"
#include "calendar/reminders/reminder_record.h"

namespace bridge::reminders {
namespace {

constexpr const char* kCountNotRestorable = "无法恢复重复次数，请重新同步后重试";

// rules[index] → "end" → "count" when it is an integer of the signed 64-bit range.
std::optional<std::int64_t> counted_end(const Json& rules, std::size_t index) {
  if (!rules.is_array() || index >= rules.size()) return std::nullopt;
  const Json* end = find_param(rules[index], "end");
  const Json* count = end ? find_param(*end, "count") : nullptr;
  if (count == nullptr) return std::nullopt;
  if (count->is_number_unsigned()) {
    std::uint64_t value = count->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(value);
  }
  if (count->is_number_integer()) return count->get<std::int64_t>();
  return std::nullopt;
}

enum class CountComparison { kept, lost, unreadable };

// Compares each requested counted end with the stored rule at the same position.
CountComparison compare_counts(const Json& requested, const Json& stored) {
  bool kept = true;
  for (std::size_t j = 0; j < requested.size(); ++j) {
    std::optional<std::int64_t> wanted = counted_end(requested, j);
    if (!wanted) continue;
    std::optional<std::int64_t> found = counted_end(stored, j);
    if (!found) return CountComparison::unreadable;
    if (*found != *wanted) kept = false;
  }
  return kept ? CountComparison::kept : CountComparison::lost;
}

struct ReRead {
  std::unique_ptr<platform::EventStore> store;
  platform::Reminder reminder;
};

// The saved reminder as a fresh store sees it, looked up in the reminder's own
// list: that is where an existing reminder stays, whatever "listId" names.
Expected<ReRead> re_read(platform::Platform& platform, const std::string& identifier, const std::string& list_id) {
  std::unique_ptr<platform::EventStore> store = platform.open_event_store();
  std::vector<platform::CalendarRef> lists;
  for (const platform::CalendarRef& list : store->calendars_for_entity_type(platform::EntityType::reminder)) {
    if (list && list->identifier == list_id) lists.push_back(list);
  }
  Expected<std::vector<platform::Reminder>> fetched = fetch_reminders(platform, *store, lists);
  if (!fetched.ok()) return std::move(fetched.error());
  for (platform::Reminder& reminder : fetched.value()) {
    if (reminder.calendar_item_identifier() == identifier) return ReRead{std::move(store), std::move(reminder)};
  }
  return Failure{kReminderMovedOrDeleted};
}

// Removes the rules and installs them anew, so the platform writes the count
// afresh. If the second save fails, the rules as they were read are saved back,
// so a failed restore never leaves the reminder without its repetition.
Expected<Done> rewrite_rules(ReRead& current, const RuleList& rules) {
  std::optional<RuleList> as_read = current.reminder.recurrence_rules();
  current.reminder.set_recurrence_rules(std::nullopt);
  if (auto cleared = current.store->save_reminder(current.reminder); !cleared.ok())
    return Failure{cleared.error().localized_description};
  current.reminder.set_recurrence_rules(rules);
  if (auto saved = current.store->save_reminder(current.reminder); !saved.ok()) {
    current.reminder.set_recurrence_rules(as_read);
    current.store->save_reminder(current.reminder);
    return Failure{saved.error().localized_description};
  }
  return Done{};
}

}  // namespace

CommandOutcome verify_recurrence_count(platform::Platform& platform, const ReminderRequest& request,
                                       const platform::Reminder& saved) {
  const std::string identifier = saved.calendar_item_identifier();
  static const Json kNoRules = Json::array();
  const Json& requested = request.recurrence_rules ? *request.recurrence_rules : kNoRules;
  const std::string list_id = saved.calendar() ? saved.calendar()->identifier : request.list_id.value_or("");

  for (int attempt = 0;; ++attempt) {
    Expected<ReRead> current = re_read(platform, identifier, list_id);
    if (!current.ok()) return std::move(current.error());
    ReRead& reread = current.value();
    Json record = reminder_to_record(platform, reread.reminder);

    CountComparison comparison = compare_counts(requested, record["recurrenceRules"]);
    if (comparison == CountComparison::unreadable) return Failure{kCountNotRestorable};
    if (comparison == CountComparison::kept) return record;
    if (attempt == 1) return Failure{kCountNotRestorable};
    // A rule that needs its first weekday cannot be built anew faithfully.
    for (const Json& rule : requested) {
      if (depends_on_first_weekday(rule)) return Failure{kCountNotRestorable};
    }
    auto built = build_recurrence_rules(requested, reread.reminder.recurrence_rules());
    if (!built.ok()) return Failure{built.error().message};
    auto rewritten = rewrite_rules(reread, built.value());
    if (!rewritten.ok()) return Failure{rewritten.error().message};
  }
}

}  // namespace bridge::reminders
