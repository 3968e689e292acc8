#pragma once

// The texts of a reminder's due date and alarm, in both directions: what the
// record shows for stored values, and how a save reads the request's texts.

#include <optional>
#include <string>
#include <string_view>

#include "calendar/command/expected.h"
#include "platform/platform.h"
#include "platform/reminder.h"

namespace bridge::reminders {

// "2025-03-01", "2025-03-01T09:30:00+08:00" (zoned) or "2025-03-01T09:30"
// (floating, when the components have no usable zone). Never fails.
std::string format_due_text(platform::Platform& platform, const platform::DateComponents& components);

// The alarm instant in UTC, whole seconds, "+00:00"; nothing outside 0000-9999.
std::optional<std::string> format_remind_at(platform::Date date);

// The request's "due" text as Gregorian date components: date only, RFC 3339
// (kept in its own offset) or the floating "%Y-%m-%dT%H:%M". Nothing without a text.
Expected<std::optional<platform::DateComponents>> parse_due_components(std::optional<std::string_view> text);

// The request's "remindAt" text (RFC 3339) as one absolute alarm, whole seconds.
Expected<std::optional<platform::Alarm>> make_alarm(std::optional<std::string_view> text);

}  // namespace bridge::reminders
