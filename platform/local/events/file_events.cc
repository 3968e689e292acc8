#include "platform/local/events/file_events.h"

#include <algorithm>
#include <map>

namespace platform::local {

namespace {

void keep_first_text(std::optional<std::string>& field, const char* text) {
  if (!field && text != nullptr) field = text;
}

std::optional<IcalTime> time_of(icalproperty* property, const icaltimetype& value, FileZones& zones) {
  if (!is_usable_time(value)) return std::nullopt;
  return IcalTime{value, ical_zone_of(property, value, zones)};
}

// Seconds from one value's instant to another's; 0 when either names none.
double seconds_between(const IcalTime& from, const IcalTime& to) {
  auto start = instant_of(from.value, from.zone);
  auto end = instant_of(to.value, to.zone);
  return start && end ? end->seconds_since_1970 - start->seconds_since_1970 : 0;
}

// DTEND, DURATION or neither as every occurrence's length; an end before the start as none.
EventLength length_of(const EventComponent& event) {
  const std::optional<icaldurationtype>& d = event.duration;
  bool counts = d && !d->is_neg;
  std::int64_t days = counts ? static_cast<std::int64_t>(d->weeks) * 7 + d->days : 0;
  double clock = counts ? d->hours * 3600.0 + d->minutes * 60.0 + d->seconds : 0;
  if (event.is_all_day()) {
    // Part of a day still takes the day.
    days = event.end ? day_number(event.end->value) - day_number(event.start.value) : days + (clock > 0 ? 1 : 0);
    return EventLength{std::max<std::int64_t>(days, 1), 0};
  }
  if (event.end) return EventLength{0, std::max(0.0, seconds_between(event.start, *event.end))};
  return EventLength{days, clock};
}

void add_recurrence_date(EventComponent& event, icalproperty* property, FileZones& zones) {
  icaldatetimeperiodtype value = icalproperty_get_rdate(property);
  bool is_period = !icalperiodtype_is_null_period(value.period);
  auto start = time_of(property, is_period ? value.period.start : value.time, zones);
  if (!start) return;
  RecurrenceDate date{*start, is_period, std::nullopt, 0, std::nullopt};
  if (is_period && !icaltime_is_null_time(value.period.end)) {
    date.period_end = IcalTime{value.period.end, ical_zone_of(property, value.period.end, zones)};
  } else if (is_period && !value.period.duration.is_neg) {
    date.period_duration_seconds = icaldurationtype_as_int(value.period.duration);
  }
  event.rdates.push_back(std::move(date));
}

}  // namespace

EventRule event_rule(const icalrecurrencetype& rule) {
  EventRule kept{rule, rule.rscale ? rule.rscale : "", nullptr};
  kept.rule.rscale = nullptr;
  return kept;
}

bool settle_lengths(EventComponent& event) {
  if (!instant_of(event.start.value, event.start.zone)) return false;
  event.length = length_of(event);
  for (RecurrenceDate& date : event.rdates) {
    double seconds = date.period_end ? seconds_between(date.start, *date.period_end) : date.period_duration_seconds;
    if (date.is_period) date.period_seconds = std::max(0.0, seconds);
  }
  return true;
}

std::optional<EventComponent> read_event_component(icalcomponent* vevent, FileZones& zones, const EventTexts* texts) {
  EventComponent event;
  std::optional<IcalTime> start;
  // No other property lookup may run inside this loop: the cursor is the component's.
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

FileEvents read_file_events(icalcomponent* root, std::string_view text) {
  FileEvents file;
  if (root == nullptr) return file;
  std::vector<ItemPart> parts = item_parts(root, text);
  // Texts come from the file's lines when its VEVENTs line up one to one with libical's.
  std::vector<EventTexts> texts = event_texts(text);
  bool lined_up = texts.size() == item_component_count(root, ICAL_VEVENT_COMPONENT);
  // A TZID names a VTIMEZONE of the component's own VCALENDAR; each is read once.
  std::map<icalcomponent*, FileZones> zones;
  auto read = [&](const PartComponent& c) {
    icalcomponent* vcalendar = vcalendar_of(c.component);
    FileZones& own = zones.try_emplace(vcalendar, vcalendar).first->second;
    return read_event_component(c.component, own, lined_up ? &texts[c.position] : nullptr);
  };
  for (const ItemPart& part : parts) {
    if (part.kind != ICAL_VEVENT_COMPONENT) continue;
    ItemEvents item;
    if (parts.size() > 1) item.identifier_suffix = "/" + part.key;
    if (part.master) item.master = read(*part.master);
    for (const PartComponent& c : part.overrides) {
      auto event = read(c);
      if (event && event->recurrence_id) item.overrides.push_back(OverrideEvent{std::move(*event), revision_of(c.component)});
    }
    file.items.push_back(std::move(item));
  }
  return file;
}

}  // namespace platform::local
