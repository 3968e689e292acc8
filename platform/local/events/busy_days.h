#pragma once

// What the dates kept with a file's rules tell of the days its occurrences can
// touch, so that an event query passes over a repeating event far from its window
// as it does a single one, without reading the file's events back. Worked out from
// wall times alone, each widened by more than any zone's offset unless it is a UTC
// instant: it holds on every machine zone.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// For a window whose days lie within first_day..last_day (UTC day numbers, counted
// from 1970), every occurrence of the file touches only days of `busy` (sorted,
// apart from each other). EXDATEs, COUNT and UNTIL are not looked at: the busy days
// are more than the occurrences' own, never fewer.
//
// Within the same days, `hours` has bit h set for each hour h of the UTC day that
// some occurrence touches (on whatever day): all of them for an occurrence whose
// instants depend on the machine's zone (a floating or all-day time). Hours worked
// out from zoned wall times hold for the tz database they were worked out with
// (`hours_zone_data`, empty when no zoned time was needed).
inline constexpr std::uint32_t kEveryHour = (1u << 24) - 1;

struct BusyDays {
  std::int64_t first_day = 0;
  std::int64_t last_day = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> busy;
  std::uint32_t hours = kEveryHour;
  std::string hours_zone_data;
};

// Nothing for a file without a rule, or with a rule that could not be read.
std::optional<BusyDays> busy_days_of(const FileEvents& events);

// An instant before which, from `from` on, the file surely has no occurrence: the
// first busy hour of a busy day, or the end of the days the busy days speak for;
// `from` itself when it lies outside them or on a busy hour.
double busy_days_quiet_until(const BusyDays& days, Date from);

// True only when no occurrence can touch [start, end) (see busy_days_quiet_until).
bool busy_days_rule_out(const BusyDays& days, Date start, Date end);

}  // namespace platform::local
