#include "platform/local/root/store_root.h"

#include <cerrno>
#include <cstdlib>

#include "platform/local/files/temporary_name.h"

namespace platform::local {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string home_directory() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  return password_home_folder().value_or("/");
}

constexpr mode_t kPrivateFolderMode = 0700;

struct DefaultCollection {
  const char* folder;
  const char* displayname;
  const char* components;
  const char* color;
};

constexpr DefaultCollection kDefaultCollections[] = {
    {"calendar", "Calendar", "VEVENT", "#1BADF8"},
    {"reminders", "Reminders", "VTODO", "#FF9500"},
};

SysResult<Done> write_collection(const std::string& folder, const DefaultCollection& c) {
  if (auto made = make_directory(folder, 0755); !made.ok()) return made;
  const std::pair<const char*, const char*> files[] = {
      {"displayname", c.displayname}, {"components", c.components}, {"color", c.color}};
  for (const auto& [name, text] : files) {
    auto written = write_new_file(folder + "/" + name, std::string(text) + "\n", std::nullopt);
    if (!written.ok()) return written.error();
  }
  return Done{};
}

// Removes a half-built staging folder; its contents are only what we wrote.
void remove_staging(const std::string& staging) {
  for (const auto& c : kDefaultCollections) {
    std::string folder = staging + "/" + c.folder;
    for (const char* name : {"displayname", "components", "color"}) remove_file(folder + "/" + name);
    remove_directory(folder);
  }
  remove_directory(staging);
}

std::string parent_of(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string resolve_store_root() {
  std::string explicit_root = environment("CALENDAR_STORE_DIR");
  if (!explicit_root.empty()) return explicit_root;
  std::string data_home = environment("XDG_DATA_HOME");
  if (!data_home.empty()) return data_home + "/calendar-store";
  return home_directory() + "/.local/share/calendar-store";
}

SysResult<Done> create_default_root_if_missing(const std::string& root_path) {
  std::string root = root_path;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  auto existing = stat_path(root);
  if (existing.ok()) return Done{};
  if (existing.error().code != ENOENT) return existing.error();

  std::string parent = parent_of(root);
  // The store holds the user's calendars: what it makes is the user's alone, as
  // the XDG base directories are (folders that exist keep their modes).
  if (auto made = make_directories(parent, kPrivateFolderMode); !made.ok()) return made;
  // Built aside and renamed into place, so no reader sees a root without its collections.
  std::string staging = temporary_path_for(root);
  if (auto made = make_directory(staging, kPrivateFolderMode); !made.ok()) return made;
  for (const auto& c : kDefaultCollections) {
    if (auto written = write_collection(staging + "/" + c.folder, c); !written.ok()) {
      remove_staging(staging);
      return written;
    }
  }
  auto renamed = rename_no_replace(staging, root);
  // Folders cannot be hard-linked: where the no-replace rename is missing, a plain
  // rename still refuses a root that another process filled meanwhile.
  if (!renamed.ok() && renamed.error().code != EEXIST && renamed.error().code != ENOTEMPTY) {
    renamed = rename_path(staging, root);
  }
  if (!renamed.ok()) {
    remove_staging(staging);
    // Another process created the root first: that root stands.
    if (renamed.error().code == EEXIST || renamed.error().code == ENOTEMPTY) return Done{};
    return renamed;
  }
  sync_directory(parent);
  return Done{};
}

uid_t store_owner(const std::string& root) {
  auto st = stat_path(root);
  return st.ok() ? st.value().st_uid : effective_user_id();
}

}  // namespace platform::local
