#pragma once

// Rules that can never give a date, told from their parts without walking them:
// libical's iterator looks for such a rule's next date until its last year (or year
// 20000) and would hold a query for minutes.

#include <libical/ical.h>

namespace platform::local {

// Whether a BY part of a rule holds any value.
bool given(const short* part);

// Whether a BY part lets `value` through: every value when it holds none.
bool lets_through(const short* part, int value);

// True only when the iterator surely gives no date for `rule` from DTSTART `first`
// (a wall time without zone): a BY part that no reachable month, day or time of day
// can meet. A rule that is merely sparse is not recognised here.
bool rule_gives_no_date(const icalrecurrencetype& rule, const icaltimetype& first);

}  // namespace platform::local
