#pragma once

// Locks that all of one user's bridge processes share, whichever backend they
// run on: flock(2) on a file that only the user can open, so no one else can
// take the lock and keep the user's bridge waiting. The lock ends with the
// process that holds it, so a killed process never leaves it held.

#include <chrono>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform::posix {

// Waits up to `patience` for an exclusive lock on the file `name` in the first of
// these folders that the user alone can write:
// - $XDG_RUNTIME_DIR/calendar-bridge, when $XDG_RUNTIME_DIR is the user's own
//   directory with mode 0700 (not a link);
// - $XDG_CACHE_HOME/calendar-bridge, else $HOME/.cache/calendar-bridge;
// - `store_root` itself (the file then hidden as ".<name>"), unless it is empty.
// A variable that is empty or not an absolute path counts as unset. Folders are
// made 0700, the file 0600. A folder or file that is a link, another user's, or
// open to group or others is passed over. Nothing when no folder serves, or when
// another holds the lock for all of `patience`.
std::unique_ptr<HeldLock> hold_user_lock(const std::string& name, std::chrono::milliseconds patience,
                                         const std::string& store_root);

// Platform::hold_reminder_write_lock. A writer holds the lock for one fetch (at
// most 30 s), its save and a count check (two more fetches): the patience is past
// all of that, so it runs out only when a holder is stopped or hung.
std::unique_ptr<HeldLock> hold_reminder_write_lock_file(const std::string& store_root);

}  // namespace platform::posix
