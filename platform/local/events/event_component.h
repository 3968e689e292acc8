#pragma once

// One VEVENT of an event file, with everything the occurrence query needs of it.

#include <libical/ical.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/text_properties.h"

namespace platform::local {

// How long each occurrence lasts: whole days on the wall clock (DURATION's days and
// weeks, or an all-day event's span), then exact seconds.
struct EventLength {
  std::int64_t nominal_days = 0;
  double exact_seconds = 0;
};

// An RDATE: a start, and for a PERIOD value its end or else its exact length.
struct RecurrenceDate {
  IcalTime start;
  bool is_period = false;
  std::optional<IcalTime> period_end;
  double period_duration_seconds = 0;
  // A period's own length in seconds, settled for the machine's zone.
  std::optional<double> period_seconds;
};

// The dates a rule's iterator gave over a span of wall times, kept with the file's
// events so that an unchanged file's rule is not walked again: libical takes each
// step through an ICU calendar. The iterator runs in DTSTART's wall frame without a
// zone, so what it gives holds on any machine zone.
struct RuleSteps {
  bool from_first = false;  // walked from DTSTART; else from the wall time `from`
  double from = 0;          // wall seconds (the wall time read as UTC)
  double to = 0;            // every date before this wall time is in `walls`
  bool ended = false;       // the rule gives no date after the last of `walls`
  std::vector<double> walls;  // wall seconds, in the order the iterator gave them
};

// An RRULE as libical reads it, its RSCALE kept here: libical's own copy lives
// only as long as its tree, or its temporary buffers.
struct EventRule {
  icalrecurrencetype rule;  // rscale null
  std::string rscale;       // empty without RSCALE
  // What a query last walked of it; filled in by the query that needed it.
  mutable std::shared_ptr<const RuleSteps> steps;
  // The rule as libical takes it, valid while this EventRule is.
  icalrecurrencetype with_scale() const {
    icalrecurrencetype scaled = rule;
    scaled.rscale = rscale.empty() ? nullptr : const_cast<char*>(rscale.c_str());
    return scaled;
  }
};
EventRule event_rule(const icalrecurrencetype& rule);

struct EventComponent {
  std::optional<std::string> uid;
  std::optional<std::string> summary;
  std::optional<std::string> location;
  std::optional<std::string> description;
  IcalTime start;
  std::optional<IcalTime> end;
  std::optional<icaldurationtype> duration;
  // DTEND or DURATION as a length, settled for the machine's zone (a floating end
  // lies a different number of seconds after its start across a zone's clock change).
  EventLength length;
  std::optional<IcalTime> recurrence_id;
  bool has_rrule = false;  // an RRULE property, readable or not
  std::vector<EventRule> rules;
  std::vector<RecurrenceDate> rdates;
  std::vector<IcalTime> exdates;

  bool is_all_day() const { return start.is_date(); }
};

// Works out the lengths that depend on the machine's zone: the event's and its
// periods'. False when the start names no instant there, so the event is unusable.
bool settle_lengths(EventComponent& event);

// Reads a VEVENT (of `vcalendar`, whose VTIMEZONEs its TZIDs may name; null for a bare
// VEVENT). Nothing when it has no usable DTSTART. The VEVENTs of one file may share
// `zones`, so that each VTIMEZONE is read once.
// `texts`, when given, are the component's SUMMARY, LOCATION and DESCRIPTION as the
// file wrote them, taken over libical's trimmed ones.
std::optional<EventComponent> read_event_component(icalcomponent* vevent, icalcomponent* vcalendar,
                                                   FileZones* zones = nullptr, const EventTexts* texts = nullptr);

}  // namespace platform::local
