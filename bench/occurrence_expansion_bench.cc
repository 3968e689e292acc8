// Occurrences of parsed event files in windows of one, thirty and 365 days: the
// walk of repetition rules, overrides and zones that answers "events".

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/local/events/event_occurrences.h"
#include "platform/local/ical/parsed_item.h"
#include "sample_items.h"

namespace {

using platform::local::ParsedItem;

constexpr double kFirstOf2026 = 1767225600;  // 2026-01-01T00:00:00Z
constexpr double kDay = 86400;

// `count` parsed files of every kind.
struct ParsedFiles {
  std::vector<ParsedItem> parsed;
  platform::CalendarRef calendar = std::make_shared<platform::Calendar>();

  explicit ParsedFiles(int count) {
    for (std::string& text : bench::mixed_event_files(count)) {
      if (auto item = platform::local::parse_item_text(std::move(text))) parsed.push_back(std::move(*item));
    }
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      parsed[i].folder = "calendar";
      parsed[i].name = std::string("e").append(std::to_string(i));
    }
  }

  // The files' events read from their trees, as the store reads a file unknown to the index.
  std::vector<platform::local::EventSource> sources() const {
    std::vector<platform::local::EventSource> out;
    for (const ParsedItem& item : parsed) {
      auto events = std::make_shared<platform::local::FileEvents>(platform::local::read_file_events(item.root.get(), ""));
      out.push_back({std::move(events), item.identifier(), calendar});
    }
    return out;
  }
};

// range(0): files, range(1): days in the window, which starts in March 2026.
void BM_EventsInWindow(benchmark::State& state) {
  const ParsedFiles files(static_cast<int>(state.range(0)));
  const platform::Date start{kFirstOf2026 + 60 * kDay};
  const platform::Date end{start.seconds_since_1970 + kDay * static_cast<double>(state.range(1))};
  std::size_t found = 0;
  for (auto _ : state) {
    auto events = platform::local::events_in_window(files.sources(), start, end);
    found = events.size();
    benchmark::DoNotOptimize(events);
  }
  state.counters["occurrences"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EventsInWindow)->ArgsProduct({{60, 1200}, {1, 30, 365}})->Unit(benchmark::kMicrosecond);

}  // namespace
