#include "platform/local/item_file_writer.h"

#include "platform/local/random_uuid.h"

namespace platform::local {

std::optional<SysError> write_item_file(const std::string& folder_path, const std::string& file_name,
                                        std::string_view text, std::optional<mode_t> mode, WriteMode how) {
  // Hidden, so the store and other vdir tools never take it for an item.
  std::string temp = folder_path + "/." + file_name + "." + random_uuid() + ".tmp";
  std::string target = folder_path + "/" + file_name;
  if (auto error = write_new_file(temp, text, mode)) return error;
  auto moved = how == WriteMode::replace ? rename_path(temp, target) : rename_no_replace(temp, target);
  if (moved) {
    remove_file(temp);
    return moved;
  }
  return sync_directory(folder_path);
}

}  // namespace platform::local
