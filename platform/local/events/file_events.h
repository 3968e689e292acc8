#pragma once

// The VEVENTs of one item file as an event query needs them, from libical's tree or
// from the index. Only their lengths depend on the machine's zone.

#include <libical/ical.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local/ical/ical_time.h"
#include "platform/local/ical/item_parts.h"
#include "platform/local/ical/text_properties.h"

namespace platform::local {

inline constexpr double kDay = 86400;  // seconds

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
  std::optional<double> period_seconds;  // settled for the machine's zone
};

// The dates a rule's iterator gave over a span of wall times, kept so that an
// unchanged file's rule is not walked again. Walked without a zone, they hold on any.
struct RuleSteps {
  bool from_first = false;  // walked from DTSTART; else from the wall time `from`
  double from = 0;          // wall seconds (the wall time read as UTC)
  double to = 0;            // every date before this wall time is in `walls`
  bool ended = false;       // the rule gives no date after the last of `walls`
  std::vector<double> walls;  // wall seconds, in the order the iterator gave them
};

// An RRULE as libical reads it, with a copy of RSCALE that outlives libical's.
struct EventRule {
  icalrecurrencetype rule;  // rscale null
  std::string rscale;       // empty without RSCALE
  mutable std::shared_ptr<const RuleSteps> steps;  // what a query last walked of it
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
  EventLength length;  // of DTEND or DURATION, settled for the machine's zone
  std::optional<IcalTime> recurrence_id;
  bool has_rrule = false;  // an RRULE property, readable or not
  std::vector<EventRule> rules;
  std::vector<RecurrenceDate> rdates;
  std::vector<IcalTime> exdates;

  bool is_all_day() const { return start.is_date(); }
};

// Works out the event's lengths on the machine's zone; false when its start is no instant there.
bool settle_lengths(EventComponent& event);

// Reads a VEVENT whose TZIDs name the VTIMEZONEs of `zones`; nothing without a usable
// DTSTART. `texts`, when given, are its texts as the file wrote them.
std::optional<EventComponent> read_event_component(icalcomponent* vevent, FileZones& zones, const EventTexts* texts);

// An override with the revision that decides between two of one occurrence.
struct OverrideEvent {
  EventComponent event;
  Revision revision;
};

// The VEVENTs of one UID: its master, when usable, and its overrides in file order.
struct ItemEvents {
  std::string identifier_suffix;  // "" in a file of one item, else "/" and the UID
  std::optional<EventComponent> master;
  std::vector<OverrideEvent> overrides;
};

struct FileEvents {
  std::vector<ItemEvents> items;
  mutable bool rule_steps_changed = false;  // a query walked a rule anew
};
using FileEventsRef = std::shared_ptr<const FileEvents>;

// The events of a parsed file (`root` a VCALENDAR, the XROOT of a stream or a bare
// VEVENT), with the texts of its own lines `text` over libical's trimmed ones.
FileEvents read_file_events(icalcomponent* root, std::string_view text);

}  // namespace platform::local
