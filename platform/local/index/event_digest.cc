#include "platform/local/index/event_digest.h"

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
// A zone kind the reader refuses, written for a time in a VTIMEZONE of the file's own.
constexpr std::uint8_t kNoExactZone = 0xFF;
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

template <class T, class Write>
void write_optional(ByteWriter& out, const std::optional<T>& value, Write write) {
  out.flag(value.has_value());
  if (value) write(out, *value);
}

// A field of a value a file gave: outside [least, most] it is damage.
int read_int(ByteReader& in, std::int64_t least, std::int64_t most) {
  std::int64_t value = in.integer();
  if (value < least || value > most) in.fail();
  return static_cast<int>(value);
}

// The fields of a value that the event code reads (never its zone pointer).
void write_wall(ByteWriter& out, const icaltimetype& value) {
  for (int field : {value.year, value.month, value.day, value.hour, value.minute, value.second}) out.integer(field);
  out.flag(value.is_date != 0);
}

icaltimetype read_wall(ByteReader& in) {
  icaltimetype value = icaltime_null_time();
  for (int* field : {&value.year, &value.month, &value.day, &value.hour, &value.minute, &value.second}) {
    *field = read_int(in, -100000, 100000);
  }
  value.is_date = in.flag() ? 1 : 0;
  if (!is_usable_time(value)) in.fail();
  return value;
}

// The digest does not hold the file's VTIMEZONEs: a time in one makes it unreadable.
void write_time(ByteWriter& out, const IcalTime& time) {
  write_wall(out, time.value);
  out.byte(time.zone.definition ? kNoExactZone : static_cast<std::uint8_t>(time.zone.kind));
  out.text(time.zone.tzid);
}

// A zoned time has a zone name, and only a zoned one.
IcalTime read_time(ByteReader& in) {
  IcalTime time{read_wall(in), {}};
  std::uint8_t kind = in.byte();
  if (kind > static_cast<std::uint8_t>(IcalZone::Kind::zoned)) in.fail();
  time.zone.kind = static_cast<IcalZone::Kind>(kind);
  time.zone.tzid = in.text();
  if ((time.zone.kind == IcalZone::Kind::zoned) == time.zone.tzid.empty()) in.fail();
  return time;
}

void write_revision_time(ByteWriter& out, const icaltimetype& time) {
  write_wall(out, time);
  out.flag(icaltime_is_utc(time) != 0);
}

icaltimetype read_revision_time(ByteReader& in) {
  icaltimetype time = read_wall(in);
  if (in.flag()) time.zone = icaltimezone_get_utc_timezone();
  return time;
}

void write_duration(ByteWriter& out, const icaldurationtype& d) {
  out.flag(d.is_neg != 0);
  for (unsigned field : {d.days, d.weeks, d.hours, d.minutes, d.seconds}) out.integer(field);
}

icaldurationtype read_duration(ByteReader& in) {
  icaldurationtype d = icaldurationtype_null_duration();
  d.is_neg = in.flag() ? 1 : 0;
  for (unsigned* field : {&d.days, &d.weeks, &d.hours, &d.minutes, &d.seconds}) {
    *field = read_int(in, 0, kLargestDurationField);
  }
  return d;
}

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

bool is_wall_seconds(double value) {
  return value >= kEarliestWallSeconds && value <= kLatestWallSeconds && value == std::floor(value);
}

// Only steps a walk could have given: wall times in whole seconds, in order.
bool readable_steps(const RuleSteps& steps) {
  return steps.walls.size() <= kMostSteps && is_wall_seconds(steps.from) && is_wall_seconds(steps.to) &&
         std::all_of(steps.walls.begin(), steps.walls.end(), is_wall_seconds) &&
         std::is_sorted(steps.walls.begin(), steps.walls.end());
}

void write_rule(ByteWriter& out, const EventRule& rule) {
  icalrecurrencetype scaled = rule.with_scale();
  char* text = icalrecurrencetype_as_string_r(&scaled);
  std::string written = text ? text : "";
  icalmemory_free_buffer(text);
  EventRule back = rule_from_text(written);
  // A rule that would not read back the same is written as no rule: the digest does not read.
  out.text(same_rule(back.rule, rule.rule) && back.rscale == rule.rscale ? written : "");
  // Steps the reader would refuse are left out: the next query walks the rule again.
  const RuleSteps* steps = rule.steps.get();
  bool keep = steps && readable_steps(*steps);
  out.flag(keep);
  if (!keep) return;
  out.flag(steps->from_first);
  out.real(steps->from);
  out.real(steps->to);
  out.flag(steps->ended);
  out.count(steps->walls.size());
  for (double wall : steps->walls) out.real(wall);
}

std::shared_ptr<const RuleSteps> read_steps(ByteReader& in) {
  if (!in.flag()) return nullptr;
  auto steps = std::make_shared<RuleSteps>();
  steps->from_first = in.flag();
  steps->from = in.real();
  steps->to = in.real();
  steps->ended = in.flag();
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) steps->walls.push_back(in.real());
  if (!readable_steps(*steps)) in.fail();
  return steps;
}

void write_component(ByteWriter& out, const EventComponent& event) {
  for (const auto* text : {&event.uid, &event.summary, &event.location, &event.description}) out.optional_text(*text);
  write_time(out, event.start);
  write_optional(out, event.end, write_time);
  write_optional(out, event.duration, write_duration);
  write_optional(out, event.recurrence_id, write_time);
  out.flag(event.has_rrule);
  out.count(event.rules.size());
  for (const EventRule& rule : event.rules) write_rule(out, rule);
  out.count(event.rdates.size());
  for (const RecurrenceDate& date : event.rdates) {
    write_time(out, date.start);
    out.flag(date.is_period);
    write_optional(out, date.period_end, write_time);
    out.real(date.period_duration_seconds);
  }
  out.count(event.exdates.size());
  for (const IcalTime& date : event.exdates) write_time(out, date);
}

// Read as far as the bytes allow: the caller checks the reader.
EventComponent read_component(ByteReader& in) {
  EventComponent event;
  for (auto* text : {&event.uid, &event.summary, &event.location, &event.description}) *text = in.optional_text();
  event.start = read_time(in);
  if (in.flag()) event.end = read_time(in);
  if (in.flag()) event.duration = read_duration(in);
  if (in.flag()) event.recurrence_id = read_time(in);
  event.has_rrule = in.flag();
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    EventRule rule = rule_from_text(in.text());
    if (rule.rule.freq == ICAL_NO_RECURRENCE) in.fail();
    rule.steps = read_steps(in);
    event.rules.push_back(std::move(rule));
  }
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    RecurrenceDate date;
    date.start = read_time(in);
    date.is_period = in.flag();
    if (in.flag()) date.period_end = read_time(in);
    date.period_duration_seconds = in.real();
    // Also refuses NaN, which no file gives.
    if (!(date.period_duration_seconds >= 0 && date.period_duration_seconds <= kLongestPeriodSeconds)) in.fail();
    event.rdates.push_back(std::move(date));
  }
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) event.exdates.push_back(read_time(in));
  return event;
}

}  // namespace

std::optional<std::string> event_digest_of(const FileEvents& events) {
  ByteWriter out;
  out.byte(kDigestVersion);
  out.count(events.items.size());
  for (const ItemEvents& item : events.items) {
    out.text(item.identifier_suffix);
    write_optional(out, item.master, write_component);
    out.count(item.overrides.size());
    for (const OverrideEvent& o : item.overrides) {
      write_component(out, o.event);
      out.integer(o.revision.sequence);
      write_optional(out, o.revision.last_modified, write_revision_time);
      write_optional(out, o.revision.stamp, write_revision_time);
    }
  }
  std::string digest = out.take();
  // What would not read back is not kept: the file is read each time instead.
  if (!events_from_digest(digest)) return std::nullopt;
  return digest;
}

std::optional<FileEvents> events_from_digest(std::string_view digest) {
  ByteReader in(digest);
  if (in.byte() != kDigestVersion) return std::nullopt;
  FileEvents events;
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    ItemEvents item;
    // Nothing for a file of one item, else "/" and the item's UID, shown as UTF-8 text.
    item.identifier_suffix = in.text();
    const std::string& suffix = item.identifier_suffix;
    if (!suffix.empty() && (suffix.front() != '/' || !text::is_valid_utf8(suffix))) in.fail();
    if (in.flag()) item.master = read_component(in);
    // A master whose start names no instant on this machine's zone is no event here.
    if (item.master && in.ok() && !settle_lengths(*item.master)) item.master.reset();
    for (std::size_t k = in.count(); k > 0 && in.ok(); --k) {
      OverrideEvent o{read_component(in), {}};
      o.revision.sequence = read_int(in, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
      if (in.flag()) o.revision.last_modified = read_revision_time(in);
      if (in.flag()) o.revision.stamp = read_revision_time(in);
      if (in.ok() && o.event.recurrence_id && settle_lengths(o.event)) item.overrides.push_back(std::move(o));
    }
    events.items.push_back(std::move(item));
  }
  if (!in.done()) return std::nullopt;
  return events;
}

}  // namespace platform::local
