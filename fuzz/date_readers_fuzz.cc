// The date and instant readers on the same text: RFC 3339, the query instant, the
// reminder's due text and alarm; what they read is written back through the
// formatters (the due text over the in-memory platform).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "calendar/apple/query_instant.h"
#include "calendar/command/rfc3339.h"
#include "calendar/reminders/due_text.h"
#include "double/platform_double.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (auto parsed = bridge::parse_rfc3339(text)) {
    (void)bridge::format_rfc3339_utc_millis(parsed->unix_milliseconds);
    (void)bridge::format_rfc3339_utc_seconds(parsed->unix_milliseconds / 1000);
  }

  auto instant = bridge::parse_query_instant(text);
  if (auto* date = std::get_if<platform::Date>(&instant)) (void)bridge::reminders::format_remind_at(*date);

  static double_platform::PlatformDouble platform;
  auto due = bridge::reminders::parse_due_components(text);
  if (auto* components = std::get_if<std::optional<platform::DateComponents>>(&due); components && *components) {
    (void)bridge::reminders::format_due_text(platform, **components);
    (void)platform.date_from_components(**components);
  }

  auto alarm = bridge::reminders::make_alarm(text);
  if (auto* made = std::get_if<std::optional<platform::Alarm>>(&alarm); made && *made && (*made)->absolute_date) {
    (void)bridge::reminders::format_remind_at(*(*made)->absolute_date);
  }
  return 0;
}
