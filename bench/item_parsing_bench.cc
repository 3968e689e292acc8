// The store's reading of one item file: the text parsed by libical, then turned
// into the event or reminder the platform interface hands to the logic.

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/local/ical/parsed_item.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/events/event_occurrences.h"
#include "sample_items.h"

namespace {

using platform::local::ParsedItem;

platform::CalendarRef sample_calendar(const char* identifier) {
  auto calendar = std::make_shared<platform::Calendar>();
  calendar->identifier = identifier;
  calendar->title = identifier;
  return calendar;
}

std::optional<ParsedItem> parse(const std::string& text, const char* folder) {
  std::optional<ParsedItem> item = platform::local::parse_item_text(text);
  if (item) {
    item->folder = folder;
    item->name = "item";
  }
  return item;
}

void BM_ParseEventFile(benchmark::State& state) {
  const std::string text = bench::event_file_text(static_cast<bench::EventKind>(state.range(0)), 40);
  for (auto _ : state) {
    auto item = platform::local::parse_item_text(text);
    if (!item) {
      state.SkipWithError("the sample event does not parse");
      break;
    }
    benchmark::DoNotOptimize(item);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
// utc, zoned, zone in the file, all-day, weekly, daily with an override.
BENCHMARK(BM_ParseEventFile)->DenseRange(0, 5);

void BM_StoredEventFromParsedItem(benchmark::State& state) {
  const std::optional<ParsedItem> item =
      parse(bench::event_file_text(static_cast<bench::EventKind>(state.range(0)), 40), "calendar");
  const platform::CalendarRef calendar = sample_calendar("calendar");
  for (auto _ : state) {
    auto event = platform::local::stored_event(*item, item->parts.front(), calendar);
    if (!event) {
      state.SkipWithError("the sample event has no start");
      break;
    }
    benchmark::DoNotOptimize(event);
  }
}
BENCHMARK(BM_StoredEventFromParsedItem)->DenseRange(0, 5);

void BM_ParseReminderFile(benchmark::State& state) {
  const std::string text = bench::reminder_file_text(7);
  for (auto _ : state) benchmark::DoNotOptimize(platform::local::parse_item_text(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseReminderFile);

// Parsing and reading together: what a reminders fetch does per changed file.
void BM_ReadReminderFile(benchmark::State& state) {
  const std::string text = bench::reminder_file_text(7);
  const platform::CalendarRef list = sample_calendar("list");
  for (auto _ : state) {
    std::optional<ParsedItem> item = parse(text, "list");
    auto stored = platform::local::text_only(*item);
    benchmark::DoNotOptimize(platform::local::reminder_from_item(*item, item->parts.front(), stored, list));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadReminderFile);

}  // namespace
