#include "calendar/apple/query_instant.h"

#include <string>

#include "calendar/command/rfc3339.h"

namespace bridge {

Expected<platform::Date> parse_query_instant(std::string_view text) {
  std::optional<Rfc3339DateTime> instant = parse_rfc3339(text, OffsetMinus::hyphen_or_minus_sign);
  if (!instant) return Failure{"无法解析日期 " + std::string(text)};
  return platform::Date::with_time_interval_since_1970(static_cast<double>(instant->unix_milliseconds) / 1000.0);
}

}  // namespace bridge
