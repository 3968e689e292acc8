#pragma once

#include <vector>

#include "calendar/command/command_outcome.h"
#include "calendar/command/expected.h"
#include "platform/calendar.h"

namespace bridge::reminders {

// {"lists": [...]}: every reminder list in store order, with "id", "title",
// "writable" and "source" (the account's title, or null).
Json connect_reply(const std::vector<platform::CalendarRef>& lists);

// The lists named by the request's "listIds", in store order. "listIds" counts
// only as an array of texts; naming a missing list, or one twice, fails.
Expected<std::vector<platform::CalendarRef>> select_lists(const Json& params,
                                                          const std::vector<platform::CalendarRef>& lists);

}  // namespace bridge::reminders
