#include <string_view>

#include "calendar/access/access.h"
#include "calendar/apple/calendar_list.h"

namespace bridge {

namespace {

constexpr std::string_view kLocalAccountLabel = "本机日历";
constexpr std::string_view kLabelSeparator = "、";

// The distinct source titles in list order, joined; the local label when there is none.
std::string account_label(const std::vector<CalendarEntry>& entries) {
  std::vector<const std::string*> kept;
  for (const CalendarEntry& entry : entries) {
    if (!entry.source) continue;
    bool seen = false;
    for (const std::string* text : kept) seen = seen || *text == *entry.source;
    if (!seen) kept.push_back(&*entry.source);
  }
  if (kept.empty()) return std::string(kLocalAccountLabel);
  std::string label = *kept.front();
  for (std::size_t i = 1; i < kept.size(); ++i) {
    label += kLabelSeparator;
    label += *kept[i];
  }
  return label;
}

}  // namespace

CommandOutcome run_calendars_command(platform::Platform& platform, const Json&) {
  // The gate comes before any store exists: a closed gate must not touch the database.
  if (auto gate = check_access(platform, platform::EntityType::event); !gate.ok()) {
    return Failure{gate.error().message};
  }
  std::vector<CalendarEntry> entries;
  {
    std::unique_ptr<platform::EventStore> store = platform.open_event_store();
    entries = list_calendars(*store);
  }
  return calendar_list_json(entries);
}

CommandOutcome run_connect_command(platform::Platform& platform, const Json&) {
  std::vector<CalendarEntry> entries;
  {
    std::unique_ptr<platform::EventStore> store = platform.open_event_store();
    // Asked on every call: with access already granted the platform answers at once.
    auto asked = request_access(platform, *store, platform::EntityType::event);
    if (!asked.ok()) return Failure{asked.error().message};
    entries = list_calendars(*store);
  }
  Json reply = Json::object();
  reply["account"] = account_label(entries);
  reply["calendars"] = calendar_list_json(entries);
  return reply;
}

}  // namespace bridge
