// Repetition rules: the application's JSON records turned into platform rules,
// and stored rules written back as records.

#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <variant>

#include "calendar/reminder_recurrence/rule_conversion.h"

namespace {

// Rules of every shape the application sends.
const bridge::Json kRequestedRules = bridge::Json::parse(R"([
  {"frequency":"daily","interval":1},
  {"frequency":"weekly","interval":2,"daysOfWeek":[{"day":2,"week":0},{"day":4,"week":0},{"day":6,"week":0}],
   "end":{"until":"2026-03-01T00:00:00Z"}},
  {"frequency":"monthly","interval":1,"daysOfMonth":[1,15,-1],"end":{"count":12}},
  {"frequency":"yearly","interval":1,"monthsOfYear":[3,9],"end":{"count":10}}
])");

void BM_BuildRecurrenceRules(benchmark::State& state) {
  for (auto _ : state) {
    auto built = bridge::build_recurrence_rules(kRequestedRules, std::nullopt);
    if (!built.ok()) {
      state.SkipWithError(built.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(built);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRequestedRules.size()));
}
BENCHMARK(BM_BuildRecurrenceRules);

// An update whose stored rules differ from the requested ones only in their end.
void BM_BuildRecurrenceRulesOverStored(benchmark::State& state) {
  auto stored = bridge::build_recurrence_rules(kRequestedRules, std::nullopt);
  if (!stored.ok()) {
    state.SkipWithError("the sample rules do not build");
    return;
  }
  const std::optional<bridge::RuleList> current = stored.value();
  for (auto _ : state) benchmark::DoNotOptimize(bridge::build_recurrence_rules(kRequestedRules, current));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRequestedRules.size()));
}
BENCHMARK(BM_BuildRecurrenceRulesOverStored);

void BM_RuleToRecord(benchmark::State& state) {
  auto built = bridge::build_recurrence_rules(kRequestedRules, std::nullopt);
  if (!built.ok()) {
    state.SkipWithError("the sample rules do not build");
    return;
  }
  const bridge::RuleList rules = built.value();
  for (auto _ : state) {
    for (const auto& rule : rules) benchmark::DoNotOptimize(bridge::rule_to_record(rule));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rules.size()));
}
BENCHMARK(BM_RuleToRecord);

}  // namespace
