#pragma once

// A local store for fault tests: its root, commands run on it through the
// executable, and what its folders hold, read directly with libical so the
// bridge's own reading is never the only witness.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_runner.h"

namespace fault {

// One item file as libical reads it.
struct ItemFile {
  std::string name;  // file name without ".ics"
  std::string text;
  bool complete = false;  // one VCALENDAR with one VTODO, ending in END:VCALENDAR
  std::string uid;
  std::string title;
  std::string notes;
  std::string url;
  bool completed = false;
};

ItemFile read_item(std::string name, std::string text);

// The text of an item file holding one VTODO.
std::string todo_text(const std::string& uid, const std::string& title, const std::string& notes);

class FaultStore {
 public:
  // Writes the permission record and the reminder list "inbox" under `root`,
  // unless `set_up` is false: then it is a second view of a store made before.
  explicit FaultStore(std::filesystem::path root, bool set_up = true);

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path folder() const { return root_ / "inbox"; }
  std::vector<std::pair<std::string, std::string>> env() const;

  void write_item(const std::string& name, const std::string& text) const;
  cli::RunResult run(const std::string& command, const std::string& input) const;

  // Every item file of "inbox" (not hidden, ending in ".ics"), by name.
  std::vector<ItemFile> items() const;
  // Entries of "inbox" that are neither items nor the list's metadata.
  std::vector<std::string> strays() const;
  // Entries of the root other than collections, the permission record and the index.
  std::vector<std::string> root_strays() const;

 private:
  std::filesystem::path root_;
};

// A request file under `dir` holding `text`, for a child's standard input.
std::string request_file(const std::filesystem::path& dir, const std::string& text);

// The number of saves/kills a test makes: the environment variable when set, else `fallback`.
int count_from_env(const char* name, int fallback);

}  // namespace fault
