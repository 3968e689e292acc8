#include "platform/local/item_file_writer.h"

#include "platform/local/random_uuid.h"

namespace platform::local {

SysResult<FileStamp> write_item_file(const std::string& folder_path, const std::string& file_name,
                                     std::string_view text, std::optional<mode_t> mode, WriteMode how) {
  // Hidden, so the store and other vdir tools never take it for an item. Only the
  // start of the item's name, so that an item named near the system's limit on
  // name length still gets a temporary file.
  constexpr std::size_t kNameKept = 64;
  std::string temp = folder_path + "/." + file_name.substr(0, kNameKept) + "." + random_uuid() + ".tmp";
  std::string target = folder_path + "/" + file_name;
  auto written = write_new_file(temp, text, mode);
  if (!written.ok()) return written.error();
  auto moved = how == WriteMode::replace ? rename_path(temp, target) : rename_no_replace(temp, target);
  if (moved) {
    remove_file(temp);
    return *moved;
  }
  // The item is in place; a folder that cannot be synced does not undo that, and
  // reporting a failure now would invite a second, duplicate write.
  sync_directory(folder_path);
  return written;
}

}  // namespace platform::local
