#pragma once

// Writes item files so that a reader, a crash or a concurrent writer never sees
// half of one: the text goes to a hidden temporary file in the same folder, is
// synced, and is then renamed into place.

#include <optional>
#include <string>
#include <string_view>

#include "platform/local/files/sys_file.h"

namespace platform::local {

enum class WriteMode {
  replace,  // an update: takes the place of the file, whatever is there now
  create,   // a new file: fails with EEXIST rather than replace one
};

// Writes `text` as `folder_path/file_name`; the file gets `mode` when given. On
// failure nothing of the write is left and the old file is untouched. Gives the
// stamp of the version written.
SysResult<FileStamp> write_item_file(const std::string& folder_path, const std::string& file_name,
                                     std::string_view text, std::optional<mode_t> mode, WriteMode how);

// Whether `name` is that of a temporary file write_item_file makes: ".", the start
// of the item's name, ".", a random UUID and ".tmp".
bool is_item_temporary_name(std::string_view name);

// A writer killed before its rename leaves its temporary file behind. Removes from
// the folder every regular file with such a name whose last change is older than
// any write can take. Best effort: what cannot be looked at or removed stays.
void remove_stale_temporary_files(const std::string& folder_path);

}  // namespace platform::local
