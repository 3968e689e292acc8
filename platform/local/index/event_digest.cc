#include "platform/local/index/event_digest.h"

#include "platform/local/ical/ical_handles.h"
#include "platform/local/index/byte_form.h"
#include "text/utf8_text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace platform::local {

namespace {

// Raised whenever the form changes; a digest of another version is not read.
constexpr std::uint8_t kDigestVersion = 7;
// Far beyond any calendar's DURATION fields and PERIODs: a longer one is read from its file.
constexpr std::int64_t kLargestDurationField = 0xFFFFFFF;
constexpr double kLongestPeriodSeconds = 1e12;
// Wall times of a rule's steps lie in years 0 to 9999, in whole seconds.
constexpr double kEarliestWallSeconds = -62167219200;
constexpr double kLatestWallSeconds = 253402300799;
constexpr std::size_t kMostSteps = 1u << 16;
// A rule's BY lists lie one after another, from BYSECOND to BYSETPOS.
constexpr std::size_t kByListsSize = offsetof(icalrecurrencetype, by_set_pos) +
                                     sizeof(icalrecurrencetype::by_set_pos) -
                                     offsetof(icalrecurrencetype, by_second);

bool same_rule(const icalrecurrencetype& a, const icalrecurrencetype& b) {
  const icaltimetype &x = a.until, &y = b.until;
  bool same_until = x.year == y.year && x.month == y.month && x.day == y.day && x.hour == y.hour &&
                    x.minute == y.minute && x.second == y.second && x.is_date == y.is_date &&
                    icaltime_is_utc(x) == icaltime_is_utc(y);
  return same_until && a.freq == b.freq && a.count == b.count && a.interval == b.interval &&
         a.week_start == b.week_start && a.skip == b.skip && std::memcmp(a.by_second, b.by_second, kByListsSize) == 0;
}

// The rule of an RRULE text; of no frequency when the text is no rule.
EventRule rule_from_text(const std::string& text) {
  icalrecurrencetype rule = icalrecurrencetype_from_string(text.c_str());
  EventRule read = event_rule(rule);
  // The parser's own copy of RSCALE is the caller's to free; the rule keeps one of its own.
  icalmemory_free_buffer(rule.rscale);
  return read;
}

// Only steps a walk could have given: wall times in whole seconds, in order.
bool readable_steps(const RuleSteps& steps) {
  auto wall = [](double seconds) {
    return seconds >= kEarliestWallSeconds && seconds <= kLatestWallSeconds && seconds == std::floor(seconds);
  };
  return steps.walls.size() <= kMostSteps && wall(steps.from) && wall(steps.to) &&
         std::all_of(steps.walls.begin(), steps.walls.end(), wall) && std::is_sorted(steps.walls.begin(), steps.walls.end());
}

template <class Form, class Steps>
void step_fields(Form& form, Steps& steps) {
  form.flag(steps.from_first);
  form.real(steps.from);
  form.real(steps.to);
  form.flag(steps.ended);
  form.list(steps.walls, [&](auto& seconds) { form.real(seconds); });
  form.check(readable_steps(steps));
}

// A rule is its RRULE text, which must read back into the same rule, then the steps
// a query walked of it. Steps the reader would refuse are left out: the next query
// walks the rule again.
void rule_fields(ByteWriter& form, const EventRule& rule) {
  icalrecurrencetype scaled = rule.with_scale();
  std::string text = take_ical_string(icalrecurrencetype_as_string_r(&scaled));
  EventRule back = rule_from_text(text);
  form.check(same_rule(back.rule, rule.rule) && back.rscale == rule.rscale && rule.rule.freq != ICAL_NO_RECURRENCE);
  form.text(text);
  const RuleSteps* steps = rule.steps && readable_steps(*rule.steps) ? rule.steps.get() : nullptr;
  form.optional(steps, [&](const RuleSteps& kept) { step_fields(form, kept); });
}

void rule_fields(ByteReader& form, EventRule& rule) {
  std::string text;
  form.text(text);
  rule = rule_from_text(text);
  form.check(rule.rule.freq != ICAL_NO_RECURRENCE);
  std::optional<RuleSteps> steps;
  form.optional(steps, [&](RuleSteps& read) { step_fields(form, read); });
  if (steps) rule.steps = std::make_shared<RuleSteps>(std::move(*steps));
}

// The fields of a value that the event code reads (never its zone pointer).
template <class Form, class Value>
void wall_fields(Form& form, Value& value) {
  for (auto* field : {&value.year, &value.month, &value.day, &value.hour, &value.minute, &value.second}) {
    form.number(*field, -100000, 100000);
  }
  form.flag(value.is_date);
  form.check(is_usable_time(value));
}

// A revision time is UTC or floating: its zone pointer says which.
template <class Form, class Time>
void revision_time(Form& form, Time& time) {
  wall_fields(form, time);
  bool utc = icaltime_is_utc(time);
  form.flag(utc);
  if constexpr (Form::reads) time.zone = utc ? icaltimezone_get_utc_timezone() : nullptr;
}

// A zoned time has a zone name, and only a zoned one. The digest does not hold the
// file's VTIMEZONEs: a time in one has no exact form.
template <class Form, class Time>
void time_fields(Form& form, Time& time) {
  wall_fields(form, time.value);
  form.check(!time.zone.definition);
  form.byte(time.zone.kind);
  form.check(time.zone.kind <= IcalZone::Kind::zoned);
  form.text(time.zone.tzid);
  form.check((time.zone.kind == IcalZone::Kind::zoned) != time.zone.tzid.empty());
}

template <class Form, class Event>
void component_fields(Form& form, Event& event) {
  auto time = [&](auto& t) { time_fields(form, t); };
  for (auto* text : {&event.uid, &event.summary, &event.location, &event.description}) {
    form.optional(*text, [&](auto& t) { form.text(t); });
  }
  time_fields(form, event.start);
  form.optional(event.end, time);
  form.optional(event.duration, [&](auto& d) {
    form.flag(d.is_neg);
    for (auto* field : {&d.days, &d.weeks, &d.hours, &d.minutes, &d.seconds}) form.number(*field, 0, kLargestDurationField);
  });
  form.optional(event.recurrence_id, time);
  form.flag(event.has_rrule);
  form.list(event.rules, [&](auto& rule) { rule_fields(form, rule); });
  form.list(event.rdates, [&](auto& date) {
    time_fields(form, date.start);
    form.flag(date.is_period);
    form.optional(date.period_end, time);
    form.real(date.period_duration_seconds);
    // Also refuses NaN, which no file gives.
    form.check(date.period_duration_seconds >= 0 && date.period_duration_seconds <= kLongestPeriodSeconds);
  });
  form.list(event.exdates, time);
}

template <class Form, class Item>
void item_fields(Form& form, Item& item) {
  form.text(item.identifier_suffix);
  // Nothing for a file of one item, else "/" and the item's UID, shown as UTF-8 text.
  const std::string& suffix = item.identifier_suffix;
  form.check(suffix.empty() || (suffix.front() == '/' && text::is_valid_utf8(suffix)));
  form.optional(item.master, [&](auto& master) { component_fields(form, master); });
  form.list(item.overrides, [&](auto& o) {
    component_fields(form, o.event);
    form.number(o.revision.sequence, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    auto revision = [&](auto& t) { revision_time(form, t); };
    form.optional(o.revision.last_modified, revision);
    form.optional(o.revision.stamp, revision);
  });
}

}  // namespace

std::optional<std::string> event_digest_of(const FileEvents& events) {
  ByteWriter form;
  form.byte(kDigestVersion);
  form.list(events.items, [&](const ItemEvents& i) { item_fields(form, i); });
  if (!form.ok()) return std::nullopt;
  return form.take();
}

std::optional<FileEvents> events_from_digest(std::string_view digest) {
  ByteReader form(digest);
  std::uint8_t version = 0;
  form.byte(version);
  form.check(version == kDigestVersion);
  FileEvents events;
  form.list(events.items, [&](ItemEvents& i) { item_fields(form, i); });
  if (!form.done()) return std::nullopt;
  // Lengths are settled for this machine's zone: an event whose start names no instant
  // on it is no event here, nor is an override without a RECURRENCE-ID.
  for (ItemEvents& i : events.items) {
    if (i.master && !settle_lengths(*i.master)) i.master.reset();
    std::erase_if(i.overrides, [](OverrideEvent& o) { return !o.event.recurrence_id || !settle_lengths(o.event); });
  }
  return events;
}

}  // namespace platform::local
