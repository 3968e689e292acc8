#pragma once

// Where the local calendar store lives, and the store a first opening creates.

#include <optional>
#include <string>

#include "platform/local/files/sys_file.h"

namespace platform::local {

// $CALENDAR_STORE_DIR when set and not empty, else $XDG_DATA_HOME/calendar-store,
// else $HOME/.local/share/calendar-store. Reads only the environment.
std::string resolve_store_root();

// Creates the root with its two default collections ("calendar" for events,
// "reminders" for reminders) when it does not exist; an existing root is left as
// it is. The root appears complete or not at all, even with several processes.
SysResult<Done> create_default_root_if_missing(const std::string& root);

// Whose store it is: the owner of the root folder (a link to it followed), which a
// linked item or metadata file must name a file of; the process's own user when the
// root cannot be looked at.
uid_t store_owner(const std::string& root);

}  // namespace platform::local
