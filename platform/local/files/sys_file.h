#pragma once

// The store's system calls, each wrapped once: EINTR is retried and a failure
// keeps the call, the path and the errno text for the message the user sees.
// The calls the front end and the user's locks make too are in
// calendar-core/system/sys_call.h.

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result/expected.h"
#include "system/sys_call.h"

namespace platform::local {

using result::Done;
using result::Expected;
using sys::effective_user_id;
using sys::make_directories;
using sys::make_directory;
using sys::SysError;
using sys::SysResult;

// What identifies one version of a file: a rename over it or an edit changes it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modified_ns = 0;
  mode_t mode = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct FileContents {
  std::string bytes;
  FileStamp stamp;
};

enum class EntryKind { regular, directory, other };

struct DirEntry {
  std::string name;
  EntryKind kind = EntryKind::other;
  std::optional<FileStamp> stamp;  // when asked for and the entry could be looked at
};

// Reads a whole regular file with one open and as few reads as its size needs.
// Files larger than `max_bytes` fail with EFBIG.
SysResult<FileContents> read_file(const std::string& path, std::size_t max_bytes);

// Reads a whole regular file like read_file, but never through a symbolic link
// (ELOOP): for the store's own files.
SysResult<FileContents> read_own_file(const std::string& path, std::size_t max_bytes);

// Reads a whole regular file like read_file, where a symbolic link at `path` is
// followed only to a regular file owned by `owner`; else fails with ELOOP. The file
// that is read is the one looked at: no other can take its place in between.
SysResult<FileContents> read_file_linked_to_owner(const std::string& path, std::size_t max_bytes, uid_t owner);

// stat(2), following links.
SysResult<struct stat> stat_path(const std::string& path);
// lstat(2): the entry itself, a symbolic link not followed.
SysResult<struct stat> link_stat_path(const std::string& path);
SysResult<FileStamp> stamp_of(const std::string& path);
// The home folder the password database gives the user (getpwuid_r(3)), if any.
std::optional<std::string> password_home_folder();

// The entries of a directory (without "." and ".."), links resolved to what they name;
// with `stamp_entries`, each entry's stamp from one fstatat(2).
SysResult<std::vector<DirEntry>> list_directory(const std::string& path, bool stamp_entries = false);

SysResult<Done> remove_file(const std::string& path);
SysResult<Done> remove_directory(const std::string& path);
// rename(2): replaces the target atomically.
SysResult<Done> rename_path(const std::string& from, const std::string& to);
// Renames only when the target does not exist (EEXIST otherwise).
SysResult<Done> rename_no_replace(const std::string& from, const std::string& to);
// Swaps two paths in one step (renameat2 RENAME_EXCHANGE); fails with EINVAL or
// ENOSYS where the file system or kernel cannot.
SysResult<Done> exchange_paths(const std::string& from, const std::string& to);
// Makes the entries of a directory durable after a rename or an unlink.
SysResult<Done> sync_directory(const std::string& path);

// Writes `bytes` to a new file at `path` (O_EXCL, so an existing file is never
// touched), then fsyncs it. The file gets `exact_mode` when given, else 0666 less
// the umask. A failed write removes what it created. The stamp is the written
// file's, which a rename keeps.
SysResult<FileStamp> write_new_file(const std::string& path, std::string_view bytes, std::optional<mode_t> exact_mode);

}  // namespace platform::local
