#pragma once

// The application's record of one repetition rule, in the platform's own
// numbering, with its strict JSON reading and its JSON writing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "calendar/command/command_outcome.h"

namespace bridge {

// A weekday (1 = Sunday ... 7 = Saturday), optionally limited to its n-th
// occurrence in the period (0 = every one, negative = from the end).
struct Day {
  std::int64_t day = 0;
  std::int64_t week = 0;
  friend bool operator==(const Day&, const Day&) = default;
};

// The end as an RFC 3339 text; the text is not checked while reading.
struct Until {
  std::string text;
  friend bool operator==(const Until&, const Until&) = default;
};

// The end as a number of occurrences.
struct Count {
  std::uint64_t count = 0;
  friend bool operator==(const Count&, const Count&) = default;
};

using End = std::variant<Until, Count>;

struct Rule {
  std::string frequency;  // "daily", "weekly", "monthly", "yearly" when valid
  std::int64_t interval = 0;
  std::vector<Day> days_of_week;
  std::vector<std::int64_t> days_of_month;
  std::vector<std::int64_t> months_of_year;
  std::vector<std::int64_t> weeks_of_year;
  std::vector<std::int64_t> days_of_year;
  std::vector<std::int64_t> set_positions;
  std::int64_t first_day_of_week = 0;  // 0 = not set
  std::optional<End> end;
  friend bool operator==(const Rule&, const Rule&) = default;
};

// The JSON array of rule objects, read strictly: an unknown key, a wrong type,
// a number with a fraction or exponent, or a value out of its integer range
// anywhere makes the whole list unreadable. Values are not range-checked.
std::optional<std::vector<Rule>> read_rules(const Json& value);

// The rule as a JSON object; empty lists, a first weekday of 0 and a missing
// end are left out.
Json write_rule(const Rule& rule);

// The platform's frequency number of a frequency text (exact bytes), or nothing.
std::optional<std::int64_t> frequency_number(std::string_view text);
// The frequency text of a platform frequency number; unknown numbers are "yearly".
std::string_view frequency_text(std::int64_t number);

}  // namespace bridge
