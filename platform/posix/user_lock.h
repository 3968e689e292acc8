#pragma once

// Locks that all of one user's bridge processes share, whichever backend they
// run on: flock(2) on a file in the user's runtime folder. The lock ends with the
// process that holds it, so a killed process never leaves it held.

#include <chrono>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform::posix {

// The folder of the user's lock files: $XDG_RUNTIME_DIR/calendar-bridge, else
// $XDG_CACHE_HOME/calendar-bridge, else $HOME/.cache/calendar-bridge. A variable
// that is empty or not an absolute path counts as unset. Reads only the environment.
std::string user_lock_folder();

// Waits up to `patience` for an exclusive lock on the file `name` in that folder,
// making the folder (0700, with any missing parent) and the file (0600) when they
// are missing. Nothing when the file cannot be opened or locked in time.
std::unique_ptr<HeldLock> hold_user_lock(const std::string& name, std::chrono::milliseconds patience);

// Platform::hold_reminder_write_lock. A writer holds the lock for one fetch (at
// most 30 s), its save and a count check (two more fetches): the patience is past
// all of that, so it runs out only when a holder is stopped or hung.
std::unique_ptr<HeldLock> hold_reminder_write_lock_file();

}  // namespace platform::posix
