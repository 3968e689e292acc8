#include "platform/local/files/item_file_writer.h"

#include <chrono>

#include "platform/local/files/random_uuid.h"
#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

constexpr std::size_t kUuidLength = 36;
constexpr std::string_view kTemporarySuffix = ".tmp";

// Minutes past the longest write: a temporary file this old belongs to no live writer.
constexpr std::chrono::minutes kStaleTemporaryAge(15);

bool is_lower_uuid(std::string_view text) {
  if (text.size() != kUuidLength) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash_place ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

bool is_item_temporary_name(std::string_view name) {
  // "." + at least one character of the item's name + "." + UUID + ".tmp"
  constexpr std::size_t kTail = 1 + kUuidLength + kTemporarySuffix.size();
  if (name.size() < 2 + kTail || name.front() != '.') return false;
  if (name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
  if (name[name.size() - kTail] != '.') return false;
  return is_lower_uuid(name.substr(name.size() - kTail + 1, kUuidLength));
}

void remove_stale_temporary_files(const std::string& folder_path) {
  auto entries = list_directory(folder_path);
  if (!entries.ok()) return;
  long long oldest_kept_ns = wall_clock_ns() - std::chrono::nanoseconds(kStaleTemporaryAge).count();
  for (const DirEntry& entry : entries.value()) {
    if (entry.kind != EntryKind::regular || !is_item_temporary_name(entry.name)) continue;
    std::string path = folder_path + "/" + entry.name;
    auto stamp = stamp_of(path);
    if (stamp.ok() && stamp.value().modified_ns < oldest_kept_ns) remove_file(path);
  }
}

SysResult<FileStamp> write_item_file(const std::string& folder_path, const std::string& file_name,
                                     std::string_view text, std::optional<mode_t> mode, WriteMode how) {
  // Hidden, so the store and other vdir tools never take it for an item. Only the
  // start of the item's name, so that an item named near the system's limit on
  // name length still gets a temporary file.
  constexpr std::size_t kNameKept = 64;
  std::string temp =
      folder_path + "/." + file_name.substr(0, kNameKept) + "." + random_uuid() + std::string(kTemporarySuffix);
  std::string target = folder_path + "/" + file_name;
  auto written = write_new_file(temp, text, mode);
  if (!written.ok()) return written.error();
  auto moved = how == WriteMode::replace ? rename_path(temp, target) : rename_no_replace(temp, target);
  if (!moved.ok()) {
    remove_file(temp);
    return moved.error();
  }
  // The item is in place; a folder that cannot be synced does not undo that, and
  // reporting a failure now would invite a second, duplicate write.
  sync_directory(folder_path);
  return written;
}

}  // namespace platform::local
