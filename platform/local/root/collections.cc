#include "platform/local/root/collections.h"

#include <algorithm>

#include "platform/local/root/store_root.h"
#include "text/hex_digits.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

constexpr std::size_t kMaxMetadataBytes = 64 * 1024;

// A metadata file's one line of text, without its trailing line feed. A link is
// read only when it names a file of the store's owner: another user's file never
// shows as a title or an account.
std::optional<std::string> read_metadata(const std::string& folder_path, const char* name, uid_t owner) {
  auto contents = read_file_linked_to_owner(folder_path + "/" + name, kMaxMetadataBytes, owner);
  if (!contents.ok()) return std::nullopt;
  std::string text = std::move(contents.value().bytes);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text::valid_utf8(text);
}

std::string_view trimmed(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

Collection read_collection(const std::string& root, const std::string& folder, uid_t owner) {
  Collection collection;
  collection.folder = folder;
  if (auto components = read_metadata(root + "/" + folder, "components", owner)) {
    collection.serves_events = collection.serves_reminders = false;
    std::string_view rest = *components;
    while (!rest.empty()) {
      std::size_t end = rest.find('\n');
      std::string_view line = trimmed(rest.substr(0, end));
      if (line == "VEVENT") collection.serves_events = true;
      if (line == "VTODO") collection.serves_reminders = true;
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
  } else {
    collection.components_known = false;
  }
  return collection;
}

}  // namespace

CalendarRef read_calendar(const std::string& root, const std::string& folder, uid_t owner) {
  std::string path = root + "/" + folder;
  Calendar calendar;
  calendar.identifier = folder;
  calendar.title = read_metadata(path, "displayname", owner).value_or(folder);
  if (auto color = read_metadata(path, "color", owner)) calendar.color.srgb = parse_color_text(*color);
  if (auto source = read_metadata(path, "source", owner)) calendar.source = Source{*source};
  calendar.allows_content_modifications = folder_allows_modifications(path);
  return std::make_shared<const Calendar>(std::move(calendar));
}

std::optional<RgbComponents> parse_color_text(std::string_view text) {
  if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return std::nullopt;
  int channel[4] = {0, 0, 0, 0};
  for (std::size_t i = 1; i < text.size(); i += 2) {
    int high = text::hex_value(text[i]), low = text::hex_value(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    channel[i / 2] = high * 16 + low;
  }
  return RgbComponents{channel[0] / 255.0, channel[1] / 255.0, channel[2] / 255.0};
}

bool folder_allows_modifications(const std::string& folder_path) {
  auto st = stat_path(folder_path);
  return st.ok() && (st.value().st_mode & S_IWUSR) != 0;
}

SysResult<std::vector<Collection>> read_collections(const std::string& root, uid_t owner) {
  auto entries = list_directory(root);
  if (!entries.ok()) return entries.error();
  std::vector<std::string> folders;
  for (const auto& entry : entries.value()) {
    if (entry.kind != EntryKind::directory || entry.name.front() == '.' || !text::is_valid_utf8(entry.name)) continue;
    folders.push_back(entry.name);
  }
  std::sort(folders.begin(), folders.end());
  std::vector<Collection> collections;
  collections.reserve(folders.size());
  for (const auto& folder : folders) collections.push_back(read_collection(root, folder, owner));
  return collections;
}

}  // namespace platform::local
