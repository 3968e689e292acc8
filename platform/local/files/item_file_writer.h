#pragma once

// Writes item files so that a reader, a crash or a concurrent writer never sees
// half of one: the text goes to a hidden temporary file in the same folder, is
// synced, and then takes the item's place in one step. Other programs (sync
// tools, editors) replace item files at any moment: a write replaces only the
// version it read, so no other program's edit is lost.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/calendar.h"
#include "platform/local/files/sys_file.h"

namespace platform::local {

// Larger item files are skipped when read, so the store refuses to write one.
inline constexpr std::size_t kLargestItemBytes = 16 * 1024 * 1024;

// How often a write makes its text again from another program's version before
// it gives up: a file that changes this often is being rewritten in a loop. Then
// the write fails with this reason.
inline constexpr int kWriteAttempts = 5;
inline constexpr std::string_view kKeepsChanging = "其他程序一直在修改这个文件，请稍后重试。";

// Writes `text` as the new file `folder_path/file_name` (EEXIST when one is
// there); the file gets `mode` when given. On failure nothing of the write is
// left. Gives the stamp of the version written.
SysResult<FileStamp> create_item_file(const std::string& folder_path, const std::string& file_name,
                                      std::string_view text, std::optional<mode_t> mode);

// The text to write in place of the item version `current`, or why there is none.
using Rewrite = std::function<Expected<std::string, Error>(const FileContents& current)>;

// Replaces the item file `folder_path/file_name`, of which this process read the
// version `read`, with `rewrite(read)`. The new file is swapped with the item in
// one step; when the version it displaced is not the one its text was made from
// (another program put its own in place meanwhile), that version is put back and
// the text made again from it, a few times at most. Where the file system cannot
// swap, the version is compared just before a rename. Every message starts with
// `failure`. Gives the stamp of the version written.
Expected<FileStamp, Error> replace_item_file(const std::string& folder_path, const std::string& file_name,
                                             FileContents read, const Rewrite& rewrite, std::string_view failure);

// Removes the item file `path` while it is the version `read`. False when another
// version was there: it stays, for the caller to read again.
Expected<bool, Error> remove_item_file(const std::string& path, const FileStamp& read, std::string_view failure);

// Tests only: runs with the item's path just before each swap or removal, where
// another program's rename would be the worst luck.
void set_before_swap_for_tests(std::function<void(const std::string& item_path)> hook);

// A writer killed before its rename leaves its temporary file behind. Removes from
// the folder every regular file with a temporary name (files/temporary_name.h)
// whose last change is older than any write can take. Best effort: what cannot be looked at or removed stays.
void remove_stale_temporary_files(const std::string& folder_path);

}  // namespace platform::local
