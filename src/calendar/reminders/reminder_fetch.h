#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "calendar/command/expected.h"
#include "platform/platform.h"

namespace bridge::reminders {

// Every reminder of the lists (open and completed), in the platform's order.
// Waits at most 30 s on the monotonic clock for the platform's answer, keeping
// the main run loop turning in 0.05 s slices; the fetch is cancelled when the
// wait ends without an answer.
Expected<std::vector<platform::Reminder>> fetch_reminders(platform::Platform& platform, platform::EventStore& store,
                                                          const std::vector<platform::CalendarRef>& lists);

// The same reminders, each handed to `visit` as soon as it is looked up again (with
// how many the fetch answered), so that no more than one is held at a time. The
// failure, if any, comes after every reminder was visited that could be.
Expected<Done> for_each_fetched_reminder(
    platform::Platform& platform, platform::EventStore& store, const std::vector<platform::CalendarRef>& lists,
    const std::function<void(platform::Reminder&& reminder, std::size_t count)>& visit);

}  // namespace bridge::reminders
