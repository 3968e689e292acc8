#pragma once

// The task marker: the reminder URL "zolt-task:" + the application's task
// identifier, the only link between a task and its reminder.
//
// An identifier that would not make a valid URL as it stands (or that holds a
// "%", which would read back ambiguously) is written percent-encoded, so every
// new reminder keeps its link; reading decodes exactly that form, and plain
// markers read as they are.

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/reminder.h"

namespace bridge::reminders {

// The marker URL for a task identifier; nothing when the platform takes no URL
// even in the encoded form.
std::optional<platform::Url> task_marker_url(platform::Platform& platform, std::string_view client_id);

// The task identifier a reminder URL carries, or nothing when it is no marker.
std::optional<std::string> client_id_from_url(platform::Platform& platform, const std::optional<platform::Url>& url);

// Whether the reminder carries the marker of this task identifier.
bool carries_task_marker(platform::Platform& platform, const platform::Reminder& reminder,
                         std::string_view client_id);

}  // namespace bridge::reminders
