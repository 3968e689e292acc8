#include "fault/fault_store.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/temp_folder.h"

namespace fault {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string text_of(const char* value) { return value ? value : ""; }

}  // namespace

ItemFile read_item(std::string name, std::string text) {
  ItemFile item;
  item.name = std::move(name);
  item.text = std::move(text);
  icalerror_set_errors_are_fatal(0);
  icalcomponent* calendar = icalparser_parse_string(item.text.c_str());
  if (!calendar) return item;
  icalcomponent* todo = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT);
  bool one_todo = todo && !icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT);
  // libical takes a cut-off file for what it holds; the last line shows it is whole.
  item.complete = icalcomponent_isa(calendar) == ICAL_VCALENDAR_COMPONENT && one_todo &&
                  (ends_with(item.text, "END:VCALENDAR\r\n") || ends_with(item.text, "END:VCALENDAR\n"));
  if (todo) {
    item.uid = text_of(icalcomponent_get_uid(todo));
    item.title = text_of(icalcomponent_get_summary(todo));
    item.notes = text_of(icalcomponent_get_description(todo));
    icalproperty* url = icalcomponent_get_first_property(todo, ICAL_URL_PROPERTY);
    item.url = url ? text_of(icalproperty_get_url(url)) : "";
    item.completed = icalcomponent_get_status(todo) == ICAL_STATUS_COMPLETED;
  }
  icalcomponent_free(calendar);
  return item;
}

std::string todo_text(const std::string& uid, const std::string& title, const std::string& notes) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//calendar-bridge fault tests//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
         "\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:" + title + "\r\nDESCRIPTION:" + notes +
         "\r\nX-KEEP:kept\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

FaultStore::FaultStore(fs::path root, bool set_up) : root_(std::move(root)) {
  if (!set_up) return;
  test_support::add_collection(root_, "inbox", "Inbox\n", "VTODO\n");
  test_support::write_file(root_ / "access.json", R"({"events":3,"reminders":3})");
  // A runtime folder as the XDG rules ask: the user's own, mode 0700.
  fs::create_directories(root_.parent_path() / "runtime");
  fs::permissions(root_.parent_path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
}

std::vector<std::pair<std::string, std::string>> FaultStore::env() const {
  // The bridge's lock files go beside the store, not to the user's own folders.
  return {{"CALENDAR_STORE_DIR", root_.string()},
          {"XDG_RUNTIME_DIR", (root_.parent_path() / "runtime").string()},
          {"XDG_CACHE_HOME", (root_.parent_path() / "cache").string()},
          {"TZ", "UTC"},
          {"LC_ALL", "C.UTF-8"}};
}

void FaultStore::write_item(const std::string& name, const std::string& text) const {
  test_support::write_file(folder() / (name + ".ics"), text);
}

cli::RunResult FaultStore::run(const std::string& command, const std::string& input) const {
  cli::Invocation inv;
  inv.args = {command};
  inv.input = input;
  for (const auto& [name, value] : env()) inv.env.emplace_back(name, value);
  return cli::run(inv);
}

std::vector<ItemFile> FaultStore::items() const {
  std::vector<ItemFile> found;
  for (const auto& entry : fs::directory_iterator(folder())) {
    std::string name = entry.path().filename().string();
    if (name.front() == '.' || !ends_with(name, ".ics")) continue;
    found.push_back(read_item(name.substr(0, name.size() - 4), slurp(entry.path())));
  }
  std::sort(found.begin(), found.end(), [](const ItemFile& a, const ItemFile& b) { return a.name < b.name; });
  return found;
}

std::vector<std::string> FaultStore::strays() const {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder())) {
    std::string name = entry.path().filename().string();
    bool item = name.front() != '.' && ends_with(name, ".ics") && entry.is_regular_file();
    if (!item && name != "displayname" && name != "components") found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> FaultStore::root_strays() const {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(root_)) {
    std::string name = entry.path().filename().string();
    bool known = name == "access.json" || name.rfind(".index.sqlite", 0) == 0 ||
                 (entry.is_directory() && name.front() != '.');
    if (!known) found.push_back(name);
  }
  return found;
}

std::string request_file(const fs::path& dir, const std::string& text) {
  static int serial = 0;
  fs::path path = dir / ("request-" + std::to_string(++serial) + ".json");
  test_support::write_file(path, text);
  return path.string();
}

int count_from_env(const char* name, int fallback) {
  const char* value = std::getenv(name);
  if (!value || !*value) return fallback;
  return std::max(0, std::atoi(value));
}

}  // namespace fault
