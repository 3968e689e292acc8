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
  if (instant.ok()) (void)bridge::reminders::format_remind_at(instant.value());

  static double_platform::PlatformDouble platform;
  auto due = bridge::reminders::parse_due_components(text);
  if (due.ok() && due.value()) {
    (void)bridge::reminders::format_due_text(platform, *due.value());
    (void)platform.date_from_components(*due.value());
  }

  auto alarm = bridge::reminders::make_alarm(text);
  if (alarm.ok() && alarm.value() && alarm.value()->absolute_date) {
    (void)bridge::reminders::format_remind_at(*alarm.value()->absolute_date);
  }
  return 0;
}
