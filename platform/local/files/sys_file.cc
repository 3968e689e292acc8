#include "platform/local/files/sys_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/local/files/for_each_index.h"
#include "system/retry_eintr.h"

namespace platform::local {

namespace {

using sys::Descriptor;
using sys::retry_eintr;

SysError failure(const char* call, const std::string& path) { return SysError{errno, call, path}; }

// Below this many entries one thread looks at them all.
constexpr WorkSplit kStatSplit{2048, 256};

FileStamp stamp_from(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec, st.st_mode};
}

// Not blocking: a FIFO put where a file belongs would otherwise wait for a writer
// for ever (regular files ignore the flag); it is then refused as no file.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The rest of read_file, once the file is open.
SysResult<FileContents> read_open_file(const Descriptor& fd, const std::string& path, std::size_t max_bytes) {
  auto status = sys::status_of(fd.get(), path);
  if (!status.ok()) return status.error();
  const struct stat& st = status.value();
  if (!S_ISREG(st.st_mode)) return SysError{EISDIR, "read", path};
  if (static_cast<std::size_t>(st.st_size) > max_bytes) return SysError{EFBIG, "read", path};
  FileContents contents;
  contents.stamp = stamp_from(st);
  // One byte more than the size, so a file that grew is still read to its end.
  std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
  contents.bytes.resize(capacity);
  std::size_t filled = 0;
  for (;;) {
    if (filled == contents.bytes.size()) {
      if (contents.bytes.size() > max_bytes) return SysError{EFBIG, "read", path};
      contents.bytes.resize(contents.bytes.size() * 2);
    }
    std::size_t wanted = contents.bytes.size() - filled;
    auto got = sys::read_some(fd.get(), contents.bytes.data() + filled, wanted, path);
    if (!got.ok()) return got.error();
    filled += got.value();
    // A regular file gives less than asked only at its end: no second read to see it.
    if (got.value() < wanted) break;
  }
  contents.bytes.resize(filled);
  return contents;
}

// Opens and reads a whole file.
SysResult<FileContents> open_and_read(const std::string& path, int flags, std::size_t max_bytes) {
  auto fd = sys::open_path(path, flags);
  if (!fd.ok()) return fd.error();
  return read_open_file(fd.value(), path, max_bytes);
}

}  // namespace

SysResult<FileContents> read_file(const std::string& path, std::size_t max_bytes) {
  return open_and_read(path, kReadFlags, max_bytes);
}

SysResult<FileContents> read_own_file(const std::string& path, std::size_t max_bytes) {
  return open_and_read(path, kReadFlags | O_NOFOLLOW, max_bytes);
}

SysResult<FileContents> read_file_linked_to_owner(const std::string& path, std::size_t max_bytes, uid_t owner) {
  // The entry itself first; only a link fails here (with ELOOP).
  auto entry = sys::open_path(path, kReadFlags | O_NOFOLLOW);
  if (entry.ok()) return read_open_file(entry.value(), path, max_bytes);
  if (entry.error().code != ELOOP) return entry.error();
  // A link: what it names now is opened and looked at through the descriptor, so a
  // link changed in between cannot hand over another file.
  auto target = sys::open_path(path, kReadFlags);
  if (!target.ok()) return target.error();
  auto status = sys::status_of(target.value().get(), path);
  if (!status.ok()) return status.error();
  if (!S_ISREG(status.value().st_mode) || status.value().st_uid != owner) return SysError{ELOOP, "open", path};
  return read_open_file(target.value(), path, max_bytes);
}

SysResult<struct stat> stat_path(const std::string& path) {
  struct stat st;
  if (retry_eintr([&] { return ::stat(path.c_str(), &st); }) != 0) return failure("stat", path);
  return st;
}

SysResult<struct stat> link_stat_path(const std::string& path) {
  struct stat st;
  if (retry_eintr([&] { return ::lstat(path.c_str(), &st); }) != 0) return failure("lstat", path);
  return st;
}

SysResult<FileStamp> stamp_of(const std::string& path) {
  auto st = stat_path(path);
  if (!st.ok()) return st.error();
  return stamp_from(st.value());
}

std::optional<std::string> password_home_folder() {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return std::nullopt;
}

SysResult<std::vector<DirEntry>> list_directory(const std::string& path, bool stamp_entries) {
  auto opened = sys::open_path(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!opened.ok()) return opened.error();
  DIR* dir = ::fdopendir(opened.value().get());
  if (!dir) return failure("opendir", path);
  // The stream owns the descriptor now.
  int fd = opened.value().release();
  std::vector<DirEntry> entries;
  std::vector<unsigned char> types;
  for (;;) {
    errno = 0;
    struct dirent* entry = ::readdir(dir);
    if (!entry) break;
    std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    entries.push_back(DirEntry{std::string(name), EntryKind::other, std::nullopt});
    types.push_back(entry->d_type);
  }
  SysError error = failure("readdir", path);
  if (error.code != 0) {
    ::closedir(dir);
    return error;
  }
  // A folder of thousands of items is looked at on every core: one fstatat each is
  // most of what listing it costs.
  for_each_index(entries.size(), kStatSplit, [&](std::size_t i) {
    DirEntry& entry = entries[i];
    unsigned char type = types[i];
    if (stamp_entries || type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st;
      if (retry_eintr([&] { return ::fstatat(fd, entry.name.c_str(), &st, 0); }) == 0) {
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : 0;
        if (stamp_entries) entry.stamp = stamp_from(st);
      }
    }
    if (type == DT_REG) entry.kind = EntryKind::regular;
    if (type == DT_DIR) entry.kind = EntryKind::directory;
  });
  ::closedir(dir);
  return entries;
}

SysResult<Done> remove_file(const std::string& path) {
  if (retry_eintr([&] { return ::unlink(path.c_str()); }) != 0) return failure("unlink", path);
  return Done{};
}

SysResult<Done> remove_directory(const std::string& path) {
  if (retry_eintr([&] { return ::rmdir(path.c_str()); }) != 0) return failure("rmdir", path);
  return Done{};
}

SysResult<Done> rename_path(const std::string& from, const std::string& to) {
  if (retry_eintr([&] { return ::rename(from.c_str(), to.c_str()); }) != 0) return failure("rename", to);
  return Done{};
}

SysResult<Done> rename_no_replace(const std::string& from, const std::string& to) {
  int result = retry_eintr([&] { return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE); });
  if (result == 0) return Done{};
  if (errno != EINVAL && errno != ENOSYS) return failure("rename", to);
  // File systems without RENAME_NOREPLACE: a hard link refuses an existing target too.
  if (retry_eintr([&] { return ::link(from.c_str(), to.c_str()); }) != 0) return failure("link", to);
  // The item is in place under its new name; a leftover old name is only a hidden temporary.
  retry_eintr([&] { return ::unlink(from.c_str()); });
  return Done{};
}

SysResult<Done> exchange_paths(const std::string& from, const std::string& to) {
  if (retry_eintr([&] { return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE); }) != 0)
    return failure("rename", to);
  return Done{};
}

SysResult<Done> sync_directory(const std::string& path) {
  auto fd = sys::open_path(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!fd.ok()) return fd.error();
  if (retry_eintr([&] { return ::fsync(fd.value().get()); }) != 0 && errno != EINVAL) return failure("fsync", path);
  return Done{};
}

SysResult<FileStamp> write_new_file(const std::string& path, std::string_view bytes, std::optional<mode_t> exact_mode) {
  auto opened = sys::open_path(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  if (!opened.ok()) return opened.error();
  Descriptor& fd = opened.value();
  auto fail = [&](SysError error) {
    retry_eintr([&] { return ::unlink(path.c_str()); });
    return error;
  };
  if (exact_mode && ::fchmod(fd.get(), *exact_mode & 07777) != 0) return fail(failure("chmod", path));
  if (auto written = sys::write_all(fd.get(), bytes, path); !written.ok()) return fail(written.error());
  if (retry_eintr([&] { return ::fsync(fd.get()); }) != 0) return fail(failure("fsync", path));
  auto status = sys::status_of(fd.get(), path);
  if (!status.ok()) return fail(status.error());
  if (auto closed = fd.close(path); !closed.ok()) return fail(closed.error());
  return stamp_from(status.value());
}

}  // namespace platform::local
