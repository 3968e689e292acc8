#pragma once

// The task marker: the reminder URL "zolt-task:" + the application's task
// identifier, the only link between a task and its reminder.
//
// Every byte of the identifier outside the URL's unreserved characters (letters,
// digits, "-", ".", "_", "~") is written percent-encoded, whatever the system's
// URL parser would take, so every system writes the same marker for a task.
// Reading decodes exactly that form; any other marker reads as it stands.

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
std::optional<std::string> client_id_from_url(const std::optional<platform::Url>& url);

// Whether the reminder carries the marker of this task identifier.
bool carries_task_marker(const platform::Reminder& reminder, std::string_view client_id);

}  // namespace bridge::reminders
