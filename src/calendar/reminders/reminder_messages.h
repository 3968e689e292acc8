#pragma once

namespace bridge::reminders {

// Said whenever the reminder a request addresses cannot be found, or no longer uniquely.
inline constexpr const char* kReminderMovedOrDeleted = "提醒事项已移动或删除，请重新同步。";

}  // namespace bridge::reminders
