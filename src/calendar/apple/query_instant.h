#pragma once

#include <string_view>

#include "calendar/command/expected.h"
#include "platform/date.h"

namespace bridge {

// An RFC 3339 date-time ("T", "t" or a space between date and time; an optional
// fraction; "Z", "z" or a "+", "-" or U+2212 offset) as whole milliseconds since
// 1970, or the failure "无法解析日期 " followed by the text.
Expected<platform::Date> parse_query_instant(std::string_view text);

}  // namespace bridge
