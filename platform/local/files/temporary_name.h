#pragma once

// The one naming of the temporary files and folders that atomic writes rename
// into place: "<folder>/.<start of the target's name>.<UUID>.tmp". Hidden, so
// the store and other vdir tools never take one for an item.

#include <string>
#include <string_view>

namespace platform::local {

// A fresh temporary path beside `target`. Only the start of the target's name is
// kept, so that a target named near the system's limit on name length still gets one.
std::string temporary_path_for(const std::string& target);

// Whether `name` is one temporary_path_for gives: ".", at least one character of
// a name, ".", a lower-case UUID and ".tmp".
bool is_temporary_name(std::string_view name);

}  // namespace platform::local
