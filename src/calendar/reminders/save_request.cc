#include "calendar/reminders/save_request.h"

#include "calendar/reminders/due_text.h"
#include "calendar/reminders/reminder_messages.h"
#include "text/nul_free.h"
#include "text/white_space.h"

namespace bridge::reminders {
namespace {

constexpr const char* kListMissing = "缺少提醒事项列表";
constexpr const char* kListNotSelected = "同步列表不存在";
constexpr const char* kListReadOnly = "提醒事项列表只读";
constexpr const char* kTitleEmpty = "任务标题不能为空";
constexpr const char* kPriorityOutOfRange = "优先级必须在 0–9 之间";
constexpr const char* kRepeatNeedsDue = "重复提醒事项需要截止日期";
constexpr std::uint64_t kHighestPriority = 9;

std::optional<std::string_view> view_of(const std::optional<std::string>& text) {
  return text ? std::optional<std::string_view>(*text) : std::nullopt;
}

}  // namespace

Expected<SavePlan> check_save_request(const ReminderRequest& request,
                                      const std::vector<platform::CalendarRef>& selected_lists,
                                      const platform::Reminder* target) {
  const bool has_target = target != nullptr;
  if (request.id && !has_target) return Failure{kReminderMovedOrDeleted};

  SavePlan plan;
  if (!request.list_id) return Failure{kListMissing};
  for (const platform::CalendarRef& list : selected_lists) {
    if (list && list->identifier == *request.list_id) {
      plan.list = list;
      break;
    }
  }
  if (!plan.list) return Failure{kListNotSelected};
  if (!plan.list->allows_content_modifications) return Failure{kListReadOnly};

  // No store can hold a NUL in a text: it is left out here, so that the reply
  // shows what every later read gives.
  plan.title = std::string(text::trim_white_space(text::without_nul(request.title)));
  if (plan.title.empty()) return Failure{kTitleEmpty};
  plan.notes = text::without_nul(request.notes);

  if (request.priority) {
    if (*request.priority > kHighestPriority) return Failure{kPriorityOutOfRange};
    plan.priority = static_cast<std::int64_t>(*request.priority);
  }

  auto due = parse_due_components(view_of(request.due));
  if (!due.ok()) return std::move(due.error());
  plan.due = std::move(due.value());

  if (request.writes(ReminderField::recurrence_rules, has_target) && request.recurrence_rules) {
    auto built = build_recurrence_rules(*request.recurrence_rules,
                                        has_target ? target->recurrence_rules() : std::nullopt);
    if (!built.ok()) return std::move(built.error());
    plan.rules = std::move(built.value());
    if (!plan.due && !plan.rules->empty()) return Failure{kRepeatNeedsDue};
  } else if (!plan.due && has_target && target->has_recurrence_rules()) {
    return Failure{kRepeatNeedsDue};
  }

  if (request.writes(ReminderField::remind_at, has_target)) {
    auto alarm = make_alarm(view_of(request.remind_at));
    if (!alarm.ok()) return std::move(alarm.error());
    plan.alarm = std::move(alarm.value());
  }
  return plan;
}

}  // namespace bridge::reminders
