// The whole front end in process over the in-memory platform: the input's first
// line is the command argument (no line break: no argument at all), the rest is
// standard input. Any reply or failure is fine; crashes, hangs and sanitizer
// reports are findings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/apple/front_end.h"
#include "calendar/command/json_input.h"
#include "double/platform_double.h"

namespace {

using double_platform::PlatformDouble;
using platform::EntityType;

constexpr double kMarch9 = 1741478400;  // 2025-03-09T00:00:00Z

// Granted access, two event calendars with events, two reminder lists with reminders.
void furnish(PlatformDouble& p) {
  p.set_status(EntityType::event, platform::AuthorizationStatus::fullAccess);
  p.set_status(EntityType::reminder, platform::AuthorizationStatus::fullAccess);
  p.set_access_answer(double_platform::AccessAnswer::grant);
  auto work = p.add_calendar(EntityType::event, {"W", "Work", {}, platform::Source{"iCloud"}, true});
  auto home = p.add_calendar(EntityType::event, {"H", "Home", {}, std::nullopt, false});
  for (int i = 0; i < 3; ++i) {
    platform::Event e;
    e.event_identifier = "e" + std::to_string(i);
    e.calendar_item_identifier = *e.event_identifier;
    e.title = "Meeting https://zoom.us/j/12345";
    e.start_date = platform::Date{kMarch9 + 3600.0 * i};
    e.end_date = platform::Date{kMarch9 + 3600.0 * (i + 1)};
    e.calendar = i % 2 ? home : work;
    e.has_recurrence_rules = i == 2;
    p.add_event(e);
  }
  auto inbox = p.add_calendar(EntityType::reminder, {"A", "Inbox", {}, platform::Source{"iCloud"}, true});
  p.add_calendar(EntityType::reminder, {"RO", "Shared", {}, std::nullopt, false});
  platform::ReminderFields r;
  r.calendar_item_identifier = "r1";
  r.calendar = inbox;
  r.title = "Task";
  r.url = platform::Url{"zolt-task:task-1"};
  p.add_reminder(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  std::string_view stdin_bytes = input;
  if (const auto line_end = input.find('\n'); line_end != std::string_view::npos) {
    args.emplace_back(input.substr(0, line_end));
    stdin_bytes = input.substr(line_end + 1);
  }
  PlatformDouble platform;
  furnish(platform);
  (void)bridge::run_front_end([&] { return &platform; }, args, bridge::read_parameters(stdin_bytes));
  return 0;
}
