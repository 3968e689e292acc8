// The bridge reading while another program (vdirsyncer, say) replaces, adds and
// deletes item files by writing a temporary file and renaming it into place: every
// read must succeed and show only whole versions of items.
// FAULT_READS_UNDER_RENAMES sets the number of reads (30 here; 300 by hand).

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

#include "fault/fault_store.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kItems = 12;

// Version `version` of item `item`: its notes are long enough that a half-written
// file would be seen, and say which version they belong to.
std::string notes_of(int version) { return std::string(40000 + version % 1000, static_cast<char>('a' + version % 26)); }

std::string title_of(int version) { return "v" + std::to_string(version); }

class RenamingWriter {
 public:
  explicit RenamingWriter(fs::path folder) : folder_(std::move(folder)) {}

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
      std::string name = "item-" + std::to_string(random() % kItems) + ".ics";
      if (random() % 8 == 0) {
        fs::remove(folder_ / name);
        continue;
      }
      fs::path temp = folder_ / ("tmp" + std::to_string(version));
      std::ofstream(temp, std::ios::binary) << fault::todo_text(name, title_of(version), notes_of(version));
      fs::rename(temp, folder_ / name);
      ++renames_;
    }
  }

  fs::path folder_;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::atomic<int> renames_{0};
};

TEST(RenamingWriter, EveryReadSucceedsWithWholeItemsOnly) {
  const int reads = fault::count_from_env("FAULT_READS_UNDER_RENAMES", 30);
  cli::TempDir dir;
  fault::FaultStore store(dir.path() / "store");
  RenamingWriter writer(store.folder());
  writer.start();
  int shown = 0;
  for (int read = 0; read < reads; ++read) {
    cli::RunResult r = store.run("reminders-read", R"({"listIds":["inbox"]})");
    ASSERT_EQ(r.exit_status, 0) << "read " << read << ": " << r.err;
    for (const json& record : json::parse(r.out)) {
      std::string title = record["title"];
      ASSERT_EQ(title.front(), 'v') << record.dump().substr(0, 200);
      int version = std::stoi(title.substr(1));
      EXPECT_TRUE(record["notes"] == notes_of(version)) << "read " << read << ": " << title << " is not whole";
      ++shown;
    }
  }
  writer.stop();
  std::cout << "[ fault    ] " << reads << " reads showed " << shown << " items during " << writer.renames()
            << " renames\n";
  EXPECT_GT(writer.renames(), 0);
}

}  // namespace
