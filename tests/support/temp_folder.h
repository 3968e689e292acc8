#pragma once

// A fresh folder under the system's temporary folder, removed with everything in
// it (read-only folders included) when the object goes: where every test builds
// the store it works on.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace test_support {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // Writes a file below the folder, creating missing parent folders.
  std::filesystem::path write(const std::filesystem::path& relative, std::string_view content) const;
  // The whole content of a file below the folder; nothing when it cannot be read.
  std::optional<std::string> read(const std::filesystem::path& relative) const;

 private:
  std::filesystem::path path_;
};

// Writes a file, creating missing parent folders; throws when it cannot.
void write_file(const std::filesystem::path& path, std::string_view content);

// A collection folder of the store under `root`, with the metadata files whose
// texts are not empty, written as given.
void add_collection(const std::filesystem::path& root, std::string_view folder, std::string_view displayname = {},
                    std::string_view components = {}, std::string_view color = {}, std::string_view source = {});

}  // namespace test_support
