#include "platform/local/files/item_file_writer.h"

#include <cerrno>
#include <chrono>

#include "platform/local/files/temporary_name.h"
#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

// Minutes past the longest write: a temporary file this old belongs to no live writer.
constexpr std::chrono::minutes kStaleTemporaryAge(15);

std::function<void(const std::string&)>& before_swap() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

void run_before_swap(const std::string& item_path) {
  if (before_swap()) before_swap()(item_path);
}

bool cannot_swap(int code) { return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP; }

Error failed(std::string_view failure, std::string_view why) { return Error{std::string(failure) + std::string(why)}; }

Error failed(std::string_view failure, const SysError& error) {
  if (error.code == ENOENT) return failed(failure, "文件已被其他程序删除。");
  return failed(failure, error.describe());
}

// After a swap displaced another program's version into `displaced_path`: puts it
// back where it was. Should a still newer version have landed in the meantime,
// that one stays in place instead.
void put_back(const std::string& displaced_path, const std::string& target, const FileStamp& ours) {
  if (!exchange_paths(displaced_path, target).ok()) return;
  auto back = stamp_of(displaced_path);
  if (back.ok() && !(back.value() == ours)) exchange_paths(displaced_path, target);
  remove_file(displaced_path);
}

// Where the file system cannot swap: renames only while the item is the version
// `base`, looked at just before. False when it is another.
SysResult<bool> rename_if_unchanged(const std::string& temp, const std::string& target, const FileStamp& base) {
  auto now = stamp_of(target);
  if (!now.ok()) return now.error();
  if (!(now.value() == base)) return false;
  auto renamed = rename_path(temp, target);
  if (!renamed.ok()) return renamed.error();
  return true;
}

}  // namespace

void set_before_swap_for_tests(std::function<void(const std::string& item_path)> hook) {
  before_swap() = std::move(hook);
}

void remove_stale_temporary_files(const std::string& folder_path) {
  auto entries = list_directory(folder_path);
  if (!entries.ok()) return;
  long long oldest_kept_ns = wall_clock_ns() - std::chrono::nanoseconds(kStaleTemporaryAge).count();
  for (const DirEntry& entry : entries.value()) {
    if (entry.kind != EntryKind::regular || !is_temporary_name(entry.name)) continue;
    std::string path = folder_path + "/" + entry.name;
    auto stamp = stamp_of(path);
    if (stamp.ok() && stamp.value().modified_ns < oldest_kept_ns) remove_file(path);
  }
}

SysResult<FileStamp> create_item_file(const std::string& folder_path, const std::string& file_name,
                                      std::string_view text, std::optional<mode_t> mode) {
  std::string temp = temporary_path_for(folder_path + "/" + file_name);
  auto written = write_new_file(temp, text, mode);
  if (!written.ok()) return written.error();
  auto moved = rename_no_replace(temp, folder_path + "/" + file_name);
  if (!moved.ok()) {
    remove_file(temp);
    return moved.error();
  }
  // The item is in place; a folder that cannot be synced does not undo that, and
  // reporting a failure now would invite a second, duplicate write.
  sync_directory(folder_path);
  return written;
}

Expected<FileStamp, Error> replace_item_file(const std::string& folder_path, const std::string& file_name,
                                             FileContents read, const Rewrite& rewrite, std::string_view failure) {
  std::string target = folder_path + "/" + file_name;
  FileContents base = std::move(read);
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    auto text = rewrite(base);
    if (!text.ok()) return text.error();
    std::string temp = temporary_path_for(folder_path + "/" + file_name);
    auto written = write_new_file(temp, text.value(), base.stamp.mode);
    if (!written.ok()) return failed(failure, written.error());
    run_before_swap(target);
    auto swapped = exchange_paths(temp, target);
    if (!swapped.ok() && cannot_swap(swapped.error().code)) {
      auto placed = rename_if_unchanged(temp, target, base.stamp);
      if (placed.ok() && placed.value()) {
        sync_directory(folder_path);
        return written.value();
      }
      remove_file(temp);
      if (!placed.ok()) return failed(failure, placed.error());
    } else if (!swapped.ok()) {
      remove_file(temp);
      return failed(failure, swapped.error());
    } else {
      // The temporary path now holds the version that was in place.
      auto displaced = stamp_of(temp);
      if (displaced.ok() && displaced.value() == base.stamp) {
        remove_file(temp);
        sync_directory(folder_path);
        return written.value();
      }
      // Another program's version: it goes back in place, and the text is made again from it.
      put_back(temp, target, written.value());
    }
    auto again = read_file(target, kLargestItemBytes);
    if (!again.ok()) return failed(failure, again.error());
    base = std::move(again.value());
  }
  return failed(failure, kKeepsChanging);
}

Expected<bool, Error> remove_item_file(const std::string& path, const FileStamp& read, std::string_view failure) {
  std::string hidden = temporary_path_for(path);
  run_before_swap(path);
  // Moved aside first, so what is removed is exactly the version looked at.
  auto moved = rename_path(path, hidden);
  if (!moved.ok()) {
    if (moved.error().code == ENOENT) return true;
    SysError error = moved.error();
    error.path = path;  // the item, not the hidden name it was to get
    return failed(failure, error);
  }
  auto stamp = stamp_of(hidden);
  if (stamp.ok() && stamp.value() == read) {
    remove_file(hidden);
    sync_directory(path.substr(0, path.rfind('/')));
    return true;
  }
  // Another program's version: back in place, unless a newer one is there already.
  if (!rename_no_replace(hidden, path).ok()) remove_file(hidden);
  return false;
}

}  // namespace platform::local
