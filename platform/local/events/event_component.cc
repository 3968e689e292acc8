#include "platform/local/events/event_component.h"

#include <algorithm>
#include <cmath>

namespace platform::local {

namespace {

void keep_first_text(std::optional<std::string>& field, const char* text) {
  if (!field && text != nullptr) field = text;
}

std::optional<IcalTime> time_of(icalproperty* property, const icaltimetype& value, FileZones& zones) {
  if (!is_usable_time(value)) return std::nullopt;
  return IcalTime{value, ical_zone_of(property, value, zones)};
}

std::int64_t duration_days(const icaldurationtype& d) { return static_cast<std::int64_t>(d.weeks) * 7 + d.days; }
double duration_clock_seconds(const icaldurationtype& d) { return d.hours * 3600.0 + d.minutes * 60.0 + d.seconds; }

// DTEND, DURATION or neither, as the length of every occurrence. An end before the
// start would make an occurrence that ends before it begins: it counts as no length.
EventLength length_of(const IcalTime& start, const std::optional<IcalTime>& end,
                      const std::optional<icaldurationtype>& duration) {
  if (start.is_date()) {
    std::int64_t days = 1;
    if (end) {
      days = day_number(end->value) - day_number(start.value);
    } else if (duration && !duration->is_neg) {
      // Part of a day still takes the day.
      days = duration_days(*duration) + (duration_clock_seconds(*duration) > 0 ? 1 : 0);
    }
    return EventLength{std::max<std::int64_t>(days, 1), 0};
  }
  if (end) {
    auto from = instant_of(start.value, start.zone);
    auto to = instant_of(end->value, end->zone);
    if (!from || !to) return {};
    return EventLength{0, std::max(0.0, to->seconds_since_1970 - from->seconds_since_1970)};
  }
  if (duration && !duration->is_neg) return EventLength{duration_days(*duration), duration_clock_seconds(*duration)};
  return {};
}

void add_recurrence_date(EventComponent& event, icalproperty* property, FileZones& zones) {
  icaldatetimeperiodtype value = icalproperty_get_rdate(property);
  if (icalperiodtype_is_null_period(value.period)) {
    if (auto start = time_of(property, value.time, zones)) {
      RecurrenceDate date;
      date.start = *start;
      event.rdates.push_back(std::move(date));
    }
    return;
  }
  auto start = time_of(property, value.period.start, zones);
  if (!start) return;
  RecurrenceDate date;
  date.start = *start;
  date.is_period = true;
  if (!icaltime_is_null_time(value.period.end)) {
    date.period_end = IcalTime{value.period.end, ical_zone_of(property, value.period.end, zones)};
  } else if (!value.period.duration.is_neg) {
    date.period_duration_seconds = icaldurationtype_as_int(value.period.duration);
  }
  event.rdates.push_back(std::move(date));
}

double period_length(const RecurrenceDate& date) {
  double seconds = date.period_duration_seconds;
  if (date.period_end) {
    auto from = instant_of(date.start.value, date.start.zone);
    auto to = instant_of(date.period_end->value, date.period_end->zone);
    seconds = from && to ? to->seconds_since_1970 - from->seconds_since_1970 : 0;
  }
  return std::max(0.0, seconds);
}

}  // namespace

EventRule event_rule(const icalrecurrencetype& rule) {
  EventRule kept{rule, rule.rscale ? rule.rscale : "", nullptr};
  kept.rule.rscale = nullptr;
  return kept;
}

bool settle_lengths(EventComponent& event) {
  if (!instant_of(event.start.value, event.start.zone)) return false;
  event.length = length_of(event.start, event.end, event.duration);
  for (RecurrenceDate& date : event.rdates) {
    if (date.is_period) date.period_seconds = period_length(date);
  }
  return true;
}

std::optional<EventComponent> read_event_component(icalcomponent* vevent, icalcomponent* vcalendar,
                                                   FileZones* shared_zones, const EventTexts* texts) {
  FileZones own_zones(vcalendar);
  FileZones& zones = shared_zones ? *shared_zones : own_zones;
  EventComponent event;
  std::optional<IcalTime> start;
  // One pass over the properties: libical's property cursor belongs to the component,
  // so no other lookup may run inside this loop.
  for (icalproperty* p = icalcomponent_get_first_property(vevent, ICAL_ANY_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(vevent, ICAL_ANY_PROPERTY)) {
    switch (icalproperty_isa(p)) {
      case ICAL_UID_PROPERTY: keep_first_text(event.uid, icalproperty_get_uid(p)); break;
      case ICAL_SUMMARY_PROPERTY: keep_first_text(event.summary, icalproperty_get_summary(p)); break;
      case ICAL_LOCATION_PROPERTY: keep_first_text(event.location, icalproperty_get_location(p)); break;
      case ICAL_DESCRIPTION_PROPERTY: keep_first_text(event.description, icalproperty_get_description(p)); break;
      case ICAL_DTSTART_PROPERTY:
        if (!start) start = time_of(p, icalproperty_get_dtstart(p), zones);
        break;
      case ICAL_DTEND_PROPERTY:
        if (!event.end) event.end = time_of(p, icalproperty_get_dtend(p), zones);
        break;
      case ICAL_DURATION_PROPERTY:
        if (!event.duration) {
          icaldurationtype value = icalproperty_get_duration(p);
          if (!icaldurationtype_is_bad_duration(value)) event.duration = value;
        }
        break;
      case ICAL_RECURRENCEID_PROPERTY:
        if (!event.recurrence_id) event.recurrence_id = time_of(p, icalproperty_get_recurrenceid(p), zones);
        break;
      case ICAL_RRULE_PROPERTY: {
        event.has_rrule = true;
        icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (rule.freq != ICAL_NO_RECURRENCE) event.rules.push_back(event_rule(rule));
        break;
      }
      case ICAL_RDATE_PROPERTY: add_recurrence_date(event, p, zones); break;
      case ICAL_EXDATE_PROPERTY:
        if (auto excluded = time_of(p, icalproperty_get_exdate(p), zones)) event.exdates.push_back(*excluded);
        break;
      default: break;
    }
  }
  if (!start) return std::nullopt;
  if (texts) {
    event.summary = texts->summary;
    event.location = texts->location;
    event.description = texts->description;
  }
  event.start = *start;
  if (!settle_lengths(event)) return std::nullopt;
  return event;
}

}  // namespace platform::local
