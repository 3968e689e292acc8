// The bridge reading while another program (vdirsyncer, say) replaces, adds and
// deletes item files by writing a temporary file and renaming it into place: every
// read of reminders or events must succeed and show only whole versions of items.
// FAULT_READS_UNDER_RENAMES sets the number of reads (30 here; 300 by hand).

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kItems = 12;

// The notes of a version are long enough that a half-written file would be
// seen, and say which version they belong to.
std::string notes_of(int version) { return std::string(40000 + version % 1000, static_cast<char>('a' + version % 26)); }

std::string title_of(int version) { return "v" + std::to_string(version); }

std::string event_text(const std::string& uid, int version) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//calendar-bridge fault tests//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
         "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:20250310T090000Z\r\nDTEND:20250310T100000Z\r\nSUMMARY:" +
         title_of(version) + "\r\nDESCRIPTION:" + notes_of(version) + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Replaces, adds and deletes reminders in one folder and events in another, as a
// sync tool does: each new version is written whole to a temporary file first.
class RenamingWriter {
 public:
  RenamingWriter(fs::path reminders, fs::path events) : reminders_(std::move(reminders)), events_(std::move(events)) {}

  void start() {
    thread_ = std::thread([this] { run(); });
  }
  void stop() {
    done_ = true;
    thread_.join();
  }
  int renames() const { return renames_; }

 private:
  void run() {
    std::mt19937 random(20261207);
    for (int version = 0; !done_; ++version) {
      bool event = version % 2 == 1;
      const fs::path& folder = event ? events_ : reminders_;
      std::string name = "item-" + std::to_string(random() % kItems);
      if (random() % 8 == 0) {
        fs::remove(folder / (name + ".ics"));
        continue;
      }
      fs::path temp = folder / ("tmp" + std::to_string(version));
      std::ofstream(temp, std::ios::binary)
          << (event ? event_text(name, version) : fault::todo_text(name, title_of(version), notes_of(version)));
      fs::rename(temp, folder / (name + ".ics"));
      ++renames_;
    }
  }

  fs::path reminders_;
  fs::path events_;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::atomic<int> renames_{0};
};

TEST(RenamingWriter, EveryReadSucceedsWithWholeItemsOnly) {
  const int reads = fault::count_from_env("FAULT_READS_UNDER_RENAMES", 30);
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  fs::path events = store.root() / "home";
  fs::create_directories(events);
  std::ofstream(events / "components") << "VEVENT\n";
  RenamingWriter writer(store.folder(), events);
  writer.start();
  int shown = 0;
  const std::string events_request =
      json{{"start", "2025-03-10T00:00:00Z"}, {"end", "2025-03-11T00:00:00Z"}, {"calendarIds", {"home"}}}.dump();
  for (int read = 0; read < reads; ++read) {
    bool of_events = read % 2 == 1;
    cli::RunResult r = of_events ? store.run("events", events_request)
                                 : store.run("reminders-read", R"({"listIds":["inbox"]})");
    ASSERT_EQ(r.exit_status, 0) << "read " << read << ": " << r.err;
    for (const json& record : json::parse(r.out)) {
      std::string title = record["title"];
      ASSERT_EQ(title.front(), 'v') << record.dump().substr(0, 200);
      int version = std::stoi(title.substr(1));
      EXPECT_TRUE(record[of_events ? "description" : "notes"] == notes_of(version))
          << "read " << read << ": " << title << " is not whole";
      ++shown;
    }
  }
  writer.stop();
  std::cout << "[ fault    ] " << reads << " reads showed " << shown << " items during " << writer.renames()
            << " renames\n";
  EXPECT_GT(writer.renames(), 0);
}

}  // namespace
