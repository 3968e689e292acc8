// The JSON front end: reading the parameters, writing a large reply, and a whole
// "events" run over the in-memory platform (routing, query, conversion, reply).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "calendar/apple/front_end.h"
#include "calendar/command/json_input.h"
#include "calendar/command/reply_output.h"
#include "double/platform_double.h"

namespace {

// A save request as the application sends it, with `lists` list identifiers.
std::string save_parameters(int lists) {
  std::string text = R"({"listIds":[)";
  for (int i = 0; i < lists; ++i) text += (i ? ",\"" : "\"") + std::string("list-") + std::to_string(i) + "\"";
  text += R"(],"listId":"list-0","clientId":"task-1","title":"Buy milk","notes":"two litres, \u00e9\n",)"
          R"("due":"2025-03-01T09:30:00+08:00","priority":5,"remindAt":"2025-03-01T01:00:00Z",)"
          R"("recurrenceRules":[{"frequency":"weekly","interval":1,"daysOfWeek":[{"day":2,"week":0}]}],)"
          R"("previousFields":{"title":"Buy","notes":null,"priority":0}})";
  return text;
}

// A reminders-read reply of `count` records.
bridge::Json reminder_records(int count) {
  bridge::Json records = bridge::Json::array();
  for (int i = 0; i < count; ++i) {
    records.push_back({{"id", "list-00/" + std::to_string(i)}, {"externalId", std::to_string(i)},
                       {"listId", "list-00"}, {"title", "Review budget 任务 " + std::to_string(i)},
                       {"notes", "Notes for this task\nsecond line"}, {"completed", i % 4 == 0},
                       {"priority", i % 10}, {"due", "2025-03-01T09:30:00+08:00"},
                       {"remindAt", "2025-03-01T01:30:00+00:00"}, {"clientId", "task-" + std::to_string(i)},
                       {"recurrenceRules", {{{"frequency", "weekly"}, {"interval", 1}}}}});
  }
  return records;
}

void BM_ReadParameters(benchmark::State& state) {
  const std::string text = save_parameters(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(bridge::read_parameters(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadParameters)->Arg(1)->Arg(1000);

void BM_RenderLargeReply(benchmark::State& state) {
  const bridge::CommandOutcome outcome = bridge::CommandOutcome(reminder_records(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    bridge::FrontEndOutput output = bridge::render_outcome(outcome);
    bytes = output.standard_output.size();
    benchmark::DoNotOptimize(output);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RenderLargeReply)->Arg(100)->Arg(10000);

void BM_EventsCommandOverDouble(benchmark::State& state) {
  double_platform::PlatformDouble platform;
  platform.set_status(platform::EntityType::event, platform::AuthorizationStatus::fullAccess);
  platform::Calendar calendar;
  calendar.identifier = "c";
  calendar.title = "Work";
  platform::CalendarRef ref = platform.add_calendar(platform::EntityType::event, calendar);
  const double first = 1735689600;  // 2025-01-01T00:00:00Z
  for (int i = 0; i < state.range(0); ++i) {
    platform::Event event;
    const std::string number = std::to_string(i);
    event.event_identifier = std::string("e").append(number);
    event.calendar_item_identifier = std::string("c/e").append(number);
    event.title = std::string("Team sync ").append(number);
    event.location = "https://meet.google.com/abc-defg-hij";
    event.start_date = platform::Date{first + 600.0 * i};
    event.end_date = platform::Date{first + 600.0 * i + 1800};
    event.calendar = ref;
    platform.add_event(event);
  }
  const std::vector<std::string> args{"events"};
  const std::string params = R"({"calendarIds":["c"],"start":"2025-01-01T00:00:00Z","end":"2026-01-01T00:00:00Z"})";
  for (auto _ : state) {
    bridge::FrontEndOutput output = bridge::run_front_end([&] { return &platform; }, args, bridge::read_parameters(params));
    if (output.exit_status != 0) {
      state.SkipWithError(output.standard_error.c_str());
      break;
    }
    benchmark::DoNotOptimize(output);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EventsCommandOverDouble)->Arg(100)->Arg(5000);

}  // namespace
