// What telling an unchanged store from a changed one costs per collection folder:
// listing it (getdents, which also gives each entry's inode number) against listing
// it and reading every file's size and modification time (one fstatat per file),
// which is what catches a writer that edits a file in place.
//
// The folder is BENCH_FOLDER when set (a collection of a generated store), else a
// fresh one of 10,000 small files.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/local/files/sys_file.h"

namespace {

const std::string& folder() {
  static const std::string path = [] {
    if (const char* given = std::getenv("BENCH_FOLDER")) return std::string(given);
    std::filesystem::path made = std::filesystem::temp_directory_path() / "revalidation-bench";
    std::filesystem::create_directories(made);
    for (int i = 0; i < 10000; ++i) {
      std::filesystem::path file = made / ("item-" + std::to_string(i) + ".ics");
      if (!std::filesystem::exists(file)) std::ofstream(file) << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
    }
    return made.string();
  }();
  return path;
}

void list(benchmark::State& state, bool stamp_entries) {
  std::size_t files = 0;
  for (auto _ : state) {
    auto entries = platform::local::list_directory(folder(), stamp_entries);
    if (!entries.ok()) {
      state.SkipWithError("the folder cannot be listed");
      return;
    }
    files = entries.value().size();
    benchmark::DoNotOptimize(entries);
  }
  state.counters["files"] = static_cast<double>(files);
  state.counters["per_file"] = benchmark::Counter(static_cast<double>(files) * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Names, kinds and inode numbers only: enough to see a file replaced by rename.
void BM_ListNamesAndInodes(benchmark::State& state) { list(state, false); }
// Every file's version as the index compares it: also sees an edit in place.
void BM_ListWithEveryFilesVersion(benchmark::State& state) { list(state, true); }

BENCHMARK(BM_ListNamesAndInodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListWithEveryFilesVersion)->Unit(benchmark::kMillisecond);

}  // namespace
