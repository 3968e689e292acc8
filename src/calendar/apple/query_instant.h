#pragma once

#include <string_view>
#include <variant>

#include "calendar/command/command_outcome.h"
#include "platform/date.h"

namespace bridge {

// An RFC 3339 date-time ("T", "t" or a space between date and time; an optional
// fraction; "Z", "z" or a "+", "-" or U+2212 offset) as whole milliseconds since
// 1970, or the failure "无法解析日期 " followed by the text.
std::variant<platform::Date, Failure> parse_query_instant(std::string_view text);

}  // namespace bridge
