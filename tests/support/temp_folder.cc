#include "support/temp_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_support {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/bridge-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  path_ = pattern;
}

TempFolder::~TempFolder() {
  // Tests make folders read-only; give the owner write access back so everything can go.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

fs::path TempFolder::write(const fs::path& relative, std::string_view content) const {
  fs::path target = path_ / relative;
  write_file(target, content);
  return target;
}

std::optional<std::string> TempFolder::read(const fs::path& relative) const {
  std::ifstream file(path_ / relative, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void write_file(const fs::path& path, std::string_view content) {
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

void add_collection(const fs::path& root, std::string_view folder, std::string_view displayname,
                    std::string_view components, std::string_view color, std::string_view source) {
  fs::path collection = root / folder;
  fs::create_directories(collection);
  if (!displayname.empty()) write_file(collection / "displayname", displayname);
  if (!components.empty()) write_file(collection / "components", components);
  if (!color.empty()) write_file(collection / "color", color);
  if (!source.empty()) write_file(collection / "source", source);
}

}  // namespace test_support
