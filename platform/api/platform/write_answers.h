#pragma once

// What the calendar database's answer to a reminder's save or removal means to
// the bridge. It answers YES, or NO with an error, or NO without one: Apple
// documents that last answer only for an item with nothing to save and for one
// that was never stored, so neither is a failure of its own.

#include <optional>
#include <string>

#include "platform/calendar.h"
#include "result/expected.h"

namespace platform {

// A save with something to save that was answered NO without an error.
inline constexpr const char* kReminderNotSaved = "日历数据库没有保存提醒事项，也没有给出原因";

// saveReminder:commit:error: or removeReminder:commit:error:'s answer.
struct WriteAnswer {
  bool succeeded = false;
  std::optional<std::string> error_text;  // the error's localizedDescription
};

// A save: NO without an error is done only when there was nothing to save.
inline result::Expected<result::Done, Error> save_answer(const WriteAnswer& answer, bool had_changes) {
  if (answer.succeeded) return result::Done{};
  if (answer.error_text) return Error{*answer.error_text};
  if (!had_changes) return result::Done{};
  return Error{kReminderNotSaved};
}

// A removal: NO without an error leaves the reminder gone, as asked.
inline result::Expected<result::Done, Error> removal_answer(const WriteAnswer& answer) {
  if (answer.succeeded || !answer.error_text) return result::Done{};
  return Error{*answer.error_text};
}

}  // namespace platform
