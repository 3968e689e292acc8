#include "platform/local/files/sys_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/local/files/for_each_index.h"
#include "system/retry_eintr.h"

namespace platform::local {

namespace {

using sys::retry_eintr;

SysError failure(const char* call, const std::string& path) { return SysError{errno, call, path}; }

// Below this many entries one thread looks at them all.
constexpr WorkSplit kStatSplit{2048, 256};

FileStamp stamp_from(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec, st.st_mode};
}

// Closes on every path out; close errors of read-only descriptors carry no news.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closing a written file reports late write errors (e.g. on network file systems).
  int release_and_close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Not blocking: a FIFO put where a file belongs would otherwise wait for a writer
// for ever (regular files ignore the flag); it is then refused as no file.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The rest of read_file, once the file is open.
SysResult<FileContents> read_open_file(const Descriptor& fd, const std::string& path, std::size_t max_bytes) {
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return failure("fstat", path);
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
    ssize_t got = retry_eintr([&] { return ::read(fd.get(), contents.bytes.data() + filled, wanted); });
    if (got < 0) return failure("read", path);
    filled += static_cast<std::size_t>(got);
    // A regular file gives less than asked only at its end: no second read to see it.
    if (static_cast<std::size_t>(got) < wanted) break;
  }
  contents.bytes.resize(filled);
  return contents;
}

}  // namespace

std::string SysError::describe() const { return call + " " + path + ": " + std::strerror(code); }

SysResult<FileContents> read_file(const std::string& path, std::size_t max_bytes) {
  Descriptor fd(retry_eintr([&] { return ::open(path.c_str(), kReadFlags); }));
  if (fd.get() < 0) return failure("open", path);
  return read_open_file(fd, path, max_bytes);
}

SysResult<FileContents> read_own_file(const std::string& path, std::size_t max_bytes) {
  Descriptor fd(retry_eintr([&] { return ::open(path.c_str(), kReadFlags | O_NOFOLLOW); }));
  if (fd.get() < 0) return failure("open", path);
  return read_open_file(fd, path, max_bytes);
}

SysResult<FileContents> read_file_linked_to_owner(const std::string& path, std::size_t max_bytes, uid_t owner) {
  // The entry itself first; only a link fails here (with ELOOP).
  Descriptor entry(retry_eintr([&] { return ::open(path.c_str(), kReadFlags | O_NOFOLLOW); }));
  if (entry.get() >= 0) return read_open_file(entry, path, max_bytes);
  if (errno != ELOOP) return failure("open", path);
  // A link: what it names now is opened and looked at through the descriptor, so a
  // link changed in between cannot hand over another file.
  Descriptor target(retry_eintr([&] { return ::open(path.c_str(), kReadFlags); }));
  if (target.get() < 0) return failure("open", path);
  struct stat st;
  if (::fstat(target.get(), &st) != 0) return failure("fstat", path);
  if (!S_ISREG(st.st_mode) || st.st_uid != owner) return SysError{ELOOP, "open", path};
  return read_open_file(target, path, max_bytes);
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

uid_t effective_user_id() { return ::geteuid(); }

SysResult<FileStamp> stamp_of(const std::string& path) {
  auto st = stat_path(path);
  if (!st.ok()) return st.error();
  return stamp_from(st.value());
}

SysResult<std::vector<DirEntry>> list_directory(const std::string& path, bool stamp_entries) {
  int fd = retry_eintr([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return failure("open", path);
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    SysError error = failure("opendir", path);
    ::close(fd);
    return error;
  }
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

SysResult<Done> make_directory(const std::string& path, mode_t mode) {
  if (retry_eintr([&] { return ::mkdir(path.c_str(), mode); }) != 0) return failure("mkdir", path);
  return Done{};
}

SysResult<Done> make_directories(const std::string& path, mode_t mode) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && retry_eintr([&] { return ::mkdir(prefix.c_str(), mode); }) != 0 && errno != EEXIST)
      return failure("mkdir", prefix);
    if (slash == std::string::npos) return Done{};
  }
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
  Descriptor fd(retry_eintr([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (fd.get() < 0) return failure("open", path);
  if (retry_eintr([&] { return ::fsync(fd.get()); }) != 0 && errno != EINVAL) return failure("fsync", path);
  return Done{};
}

SysResult<FileStamp> write_new_file(const std::string& path, std::string_view bytes, std::optional<mode_t> exact_mode) {
  Descriptor fd(retry_eintr(
      [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666); }));
  if (fd.get() < 0) return failure("open", path);
  auto fail = [&](const char* call) {
    SysError error = failure(call, path);
    retry_eintr([&] { return ::unlink(path.c_str()); });
    return error;
  };
  if (exact_mode && ::fchmod(fd.get(), *exact_mode & 07777) != 0) return fail("chmod");
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t put = retry_eintr([&] { return ::write(fd.get(), bytes.data() + written, bytes.size() - written); });
    if (put < 0) return fail("write");
    written += static_cast<std::size_t>(put);
  }
  if (retry_eintr([&] { return ::fsync(fd.get()); }) != 0) return fail("fsync");
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return fail("fstat");
  if (fd.release_and_close() != 0 && errno != EINTR) return fail("close");
  return stamp_from(st);
}

}  // namespace platform::local
