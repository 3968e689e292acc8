#pragma once

#include <string>
#include <vector>

#include "calendar/command/command_outcome.h"
#include "calendar/command/expected.h"
#include "platform/calendar.h"

namespace bridge::reminders {

// {"lists": [...]}: every reminder list in store order, with "id", "title",
// "writable" and "source" (the account's title, or null).
Json connect_reply(const std::vector<platform::CalendarRef>& lists);

// The lists named by the request's "listIds", in store order. Naming a missing
// list, or one twice, or none, fails.
Expected<std::vector<platform::CalendarRef>> select_lists(const std::vector<std::string>& ids,
                                                          const std::vector<platform::CalendarRef>& lists);

}  // namespace bridge::reminders
