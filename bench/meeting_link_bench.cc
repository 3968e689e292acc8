// The meeting-link detector over long notes: a link at the end of much text, and
// text that holds only addresses of other hosts.

#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <string_view>

#include "caldav/meeting_link.h"

namespace {

// About `bytes` of agenda text with ordinary links in it, then `tail`.
std::string long_notes(std::size_t bytes, std::string_view tail) {
  const std::string paragraph =
      "Agenda: review the budget, see https://example.com/docs/budget?id=42 and "
      "www.example.org/plan; 会议纪要在 https://wiki.example.net/页面 。 Call +1 555 0100.\n";
  std::string text;
  while (text.size() < bytes) text += paragraph;
  text += tail;
  return text;
}

void BM_LinkAtTheEnd(benchmark::State& state) {
  const std::string text = long_notes(state.range(0), "Join: https://us02web.zoom.us/j/1234567890?pwd=abc\n");
  for (auto _ : state) {
    auto link = caldav::find_meeting_link_in_text(text);
    if (!link) {
      state.SkipWithError("the sample link was not found");
      break;
    }
    benchmark::DoNotOptimize(link);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LinkAtTheEnd)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20);

void BM_NoMeetingLink(benchmark::State& state) {
  const std::string text = long_notes(state.range(0), "");
  for (auto _ : state) benchmark::DoNotOptimize(caldav::find_meeting_link_in_text(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_NoMeetingLink)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace
