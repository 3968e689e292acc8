#pragma once

// Zones a file defines itself (a VTIMEZONE), read by libical as RFC 5545 reads them:
// each observance's DTSTART, RDATEs and RRULE dates are its onsets, and the offset at
// a time is the one of the latest onset before it among all observances.

#include <libical/ical.h>

#include <memory>
#include <mutex>
#include <optional>

#include "platform/date.h"
#include "platform/local/time/zone_time.h"

namespace platform::local {

class DefinedZone {
 public:
  // Takes `zone`, whose definition was checked to be read in bounded work.
  DefinedZone(icaltimezone* zone, int widest_offset) : zone_(zone), widest_offset_(widest_offset) {}
  ~DefinedZone();
  DefinedZone(const DefinedZone&) = delete;
  DefinedZone& operator=(const DefinedZone&) = delete;

  // Offset from GMT in seconds at an instant.
  int offset_at(double seconds_since_1970) const;
  // The largest offset, either way, any observance names.
  int widest_offset() const { return widest_offset_; }

 private:
  icaltimezone* zone_;
  int widest_offset_;
  // libical works out a zone's onsets on first use and again for later years.
  mutable std::mutex mutex_;
};

// Nothing when the definition has no observance, an observance without DTSTART or
// TZOFFSETTO, an offset of a day or more, or a rule other than yearly or monthly, one
// that gives no date or more than a few a year (libical would look for its dates, or
// keep them, up to the year 2582). Definitions of the same text are read once.
std::shared_ptr<const DefinedZone> define_zone(icalcomponent* vtimezone);

// The instant of a Gregorian wall time in a defined zone, resolved as for named zones
// (wall_time_to_date): a skipped wall time with the offset before the gap, a repeated
// one the first time.
std::optional<Date> wall_time_to_date(const WallTime& wall, const DefinedZone& zone);

}  // namespace platform::local
