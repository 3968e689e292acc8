#include "platform/local/index/event_digest.h"

#include "platform/local/index/byte_form.h"
#include "text/utf8_text.h"

#include <cstdint>
#include <cstring>
#include <cmath>
#include <limits>

namespace platform::local {

namespace {

// Raised whenever the form changes; a digest of another version is not read.
constexpr std::uint8_t kDigestVersion = 7;
// The largest field of a DURATION, and the longest PERIOD in seconds, kept: far beyond
// any calendar's (a longer one is read from its file each time).
constexpr unsigned kLargestDurationField = 0xFFFFFFF;
constexpr double kLongestPeriodSeconds = 1e12;
// Wall times of a rule's steps lie in years 0 to 9999, in whole seconds.
constexpr double kEarliestWallSeconds = -62167219200;
constexpr double kLatestWallSeconds = 253402300799;
constexpr std::size_t kMostSteps = 1u << 16;

bool is_wall_seconds(double value) {
  return value >= kEarliestWallSeconds && value <= kLatestWallSeconds && value == std::floor(value);
}

// The fields of a value that the event code reads (never its zone pointer).
void write_wall(ByteWriter& out, const icaltimetype& value) {
  for (int field : {value.year, value.month, value.day, value.hour, value.minute, value.second}) out.integer(field);
  out.flag(value.is_date != 0);
}

icaltimetype read_wall(ByteReader& in) {
  icaltimetype value = icaltime_null_time();
  for (int* field : {&value.year, &value.month, &value.day, &value.hour, &value.minute, &value.second}) {
    std::int64_t read = in.integer();
    if (read < -100000 || read > 100000) in.fail();
    *field = static_cast<int>(read);
  }
  value.is_date = in.flag() ? 1 : 0;
  return value;
}

bool write_time(ByteWriter& out, const IcalTime& time) {
  // A zone of the file's own lives in its VTIMEZONE, which the digest does not hold;
  // and what the reader would refuse is not written (a PERIOD's end goes unchecked).
  if (time.zone.definition || !is_usable_time(time.value)) return false;
  write_wall(out, time.value);
  out.byte(static_cast<std::uint8_t>(time.zone.kind));
  out.text(time.zone.tzid);
  return true;
}

// Only what reading a file could have given: a usable wall time, a zone name for a
// zoned one and none otherwise.
IcalTime read_time(ByteReader& in) {
  IcalTime time{read_wall(in), {}};
  std::uint8_t kind = in.byte();
  if (kind > static_cast<std::uint8_t>(IcalZone::Kind::zoned)) in.fail();
  time.zone.kind = static_cast<IcalZone::Kind>(kind);
  time.zone.tzid = in.text();
  bool zoned = time.zone.kind == IcalZone::Kind::zoned;
  if (!is_usable_time(time.value) || zoned == time.zone.tzid.empty()) in.fail();
  return time;
}

bool write_optional_time(ByteWriter& out, const std::optional<IcalTime>& time) {
  out.flag(time.has_value());
  return !time || write_time(out, *time);
}

std::optional<IcalTime> read_optional_time(ByteReader& in) {
  if (!in.flag()) return std::nullopt;
  return read_time(in);
}

bool same_rule(const icalrecurrencetype& a, const icalrecurrencetype& b) {
  auto same_until = [](const icaltimetype& x, const icaltimetype& y) {
    return x.year == y.year && x.month == y.month && x.day == y.day && x.hour == y.hour && x.minute == y.minute &&
           x.second == y.second && x.is_date == y.is_date && icaltime_is_utc(x) == icaltime_is_utc(y);
  };
  auto same_list = [](const short* x, const short* y, std::size_t size) { return std::memcmp(x, y, size) == 0; };
  return a.freq == b.freq && same_until(a.until, b.until) && a.count == b.count && a.interval == b.interval &&
         a.week_start == b.week_start && a.skip == b.skip &&
         same_list(a.by_second, b.by_second, sizeof a.by_second) &&
         same_list(a.by_minute, b.by_minute, sizeof a.by_minute) && same_list(a.by_hour, b.by_hour, sizeof a.by_hour) &&
         same_list(a.by_day, b.by_day, sizeof a.by_day) &&
         same_list(a.by_month_day, b.by_month_day, sizeof a.by_month_day) &&
         same_list(a.by_year_day, b.by_year_day, sizeof a.by_year_day) &&
         same_list(a.by_week_no, b.by_week_no, sizeof a.by_week_no) &&
         same_list(a.by_month, b.by_month, sizeof a.by_month) &&
         same_list(a.by_set_pos, b.by_set_pos, sizeof a.by_set_pos);
}

// The rule as RRULE text, which libical reads back into the same rule.
std::optional<EventRule> rule_from_text(const std::string& text) {
  icalrecurrencetype rule = icalrecurrencetype_from_string(text.c_str());
  std::optional<EventRule> read;
  if (rule.freq != ICAL_NO_RECURRENCE) read = event_rule(rule);
  // The parser's own copy of RSCALE is the caller's to free; the rule keeps one of its own.
  icalmemory_free_buffer(rule.rscale);
  return read;
}

// Only steps a walk could have given: wall times in whole seconds, in order.
bool readable_steps(const RuleSteps& steps) {
  if (steps.walls.size() > kMostSteps || !is_wall_seconds(steps.from) || !is_wall_seconds(steps.to)) return false;
  for (std::size_t i = 0; i < steps.walls.size(); ++i) {
    if (!is_wall_seconds(steps.walls[i]) || (i > 0 && steps.walls[i] < steps.walls[i - 1])) return false;
  }
  return true;
}

bool write_rule(ByteWriter& out, const EventRule& rule) {
  icalrecurrencetype scaled = rule.with_scale();
  char* text = icalrecurrencetype_as_string_r(&scaled);
  if (text == nullptr) return false;
  std::string written(text);
  icalmemory_free_buffer(text);
  auto back = rule_from_text(written);
  if (!back || !same_rule(back->rule, rule.rule) || back->rscale != rule.rscale) return false;
  out.text(written);
  // Steps the reader would refuse are left out: the next query walks the rule again.
  const RuleSteps* steps = rule.steps.get();
  bool keep = steps && readable_steps(*steps);
  out.flag(keep);
  if (!keep) return true;
  out.flag(steps->from_first);
  out.real(steps->from);
  out.real(steps->to);
  out.flag(steps->ended);
  out.count(steps->walls.size());
  for (double wall : steps->walls) out.real(wall);
  return true;
}

std::shared_ptr<const RuleSteps> read_steps(ByteReader& in) {
  if (!in.flag()) return nullptr;
  auto steps = std::make_shared<RuleSteps>();
  steps->from_first = in.flag();
  steps->from = in.real();
  steps->to = in.real();
  steps->ended = in.flag();
  std::size_t n = in.count();
  if (n > kMostSteps) in.fail();
  for (; n > 0 && in.ok(); --n) steps->walls.push_back(in.real());
  if (!readable_steps(*steps)) in.fail();
  return steps;
}

bool write_component(ByteWriter& out, const EventComponent& event) {
  for (const auto* text : {&event.uid, &event.summary, &event.location, &event.description}) out.optional_text(*text);
  if (!write_time(out, event.start) || !write_optional_time(out, event.end)) return false;
  out.flag(event.duration.has_value());
  if (event.duration) {
    const icaldurationtype& d = *event.duration;
    out.flag(d.is_neg != 0);
    for (unsigned field : {d.days, d.weeks, d.hours, d.minutes, d.seconds}) {
      if (field > kLargestDurationField) return false;
      out.integer(field);
    }
  }
  if (!write_optional_time(out, event.recurrence_id)) return false;
  out.flag(event.has_rrule);
  out.count(event.rules.size());
  for (const EventRule& rule : event.rules) {
    if (!write_rule(out, rule)) return false;
  }
  out.count(event.rdates.size());
  for (const RecurrenceDate& date : event.rdates) {
    if (!write_time(out, date.start)) return false;
    out.flag(date.is_period);
    if (!write_optional_time(out, date.period_end)) return false;
    if (!(date.period_duration_seconds >= 0 && date.period_duration_seconds <= kLongestPeriodSeconds)) return false;
    out.real(date.period_duration_seconds);
  }
  out.count(event.exdates.size());
  for (const IcalTime& date : event.exdates) {
    if (!write_time(out, date)) return false;
  }
  return true;
}

std::optional<EventComponent> read_component(ByteReader& in) {
  EventComponent event;
  for (auto* text : {&event.uid, &event.summary, &event.location, &event.description}) *text = in.optional_text();
  event.start = read_time(in);
  event.end = read_optional_time(in);
  if (in.flag()) {
    icaldurationtype d = icaldurationtype_null_duration();
    d.is_neg = in.flag() ? 1 : 0;
    for (unsigned* field : {&d.days, &d.weeks, &d.hours, &d.minutes, &d.seconds}) {
      std::int64_t read = in.integer();
      if (read < 0 || read > kLargestDurationField) in.fail();
      *field = static_cast<unsigned>(read);
    }
    event.duration = d;
  }
  event.recurrence_id = read_optional_time(in);
  event.has_rrule = in.flag();
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    auto rule = rule_from_text(in.text());
    if (!rule) in.fail();
    if (!in.ok()) break;
    rule->steps = read_steps(in);
    event.rules.push_back(std::move(*rule));
  }
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    RecurrenceDate date;
    date.start = read_time(in);
    date.is_period = in.flag();
    date.period_end = read_optional_time(in);
    date.period_duration_seconds = in.real();
    // Also refuses NaN, which no file gives.
    if (!(date.period_duration_seconds >= 0 && date.period_duration_seconds <= kLongestPeriodSeconds)) in.fail();
    event.rdates.push_back(std::move(date));
  }
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) event.exdates.push_back(read_time(in));
  if (!in.ok()) return std::nullopt;
  return event;
}

bool write_revision_time(ByteWriter& out, const std::optional<icaltimetype>& time) {
  out.flag(time.has_value());
  if (!time) return true;
  if (!is_usable_time(*time)) return false;
  write_wall(out, *time);
  out.flag(icaltime_is_utc(*time) != 0);
  return true;
}

std::optional<icaltimetype> read_revision_time(ByteReader& in) {
  if (!in.flag()) return std::nullopt;
  icaltimetype time = read_wall(in);
  if (!is_usable_time(time)) in.fail();
  if (in.flag()) time.zone = icaltimezone_get_utc_timezone();
  return time;
}

// What follows the file's identifier in its events' identifiers: nothing for a file
// of one item, else "/" and the item's UID as UTF-8 text (identifiers are shown).
bool is_identifier_suffix(std::string_view suffix) {
  return suffix.empty() || (suffix.front() == '/' && text::is_valid_utf8(suffix));
}

int read_sequence(ByteReader& in) {
  std::int64_t sequence = in.integer();
  if (sequence < std::numeric_limits<int>::min() || sequence > std::numeric_limits<int>::max()) in.fail();
  return static_cast<int>(sequence);
}

}  // namespace

std::optional<std::string> event_digest_of(const FileEvents& events) {
  ByteWriter out;
  out.byte(kDigestVersion);
  out.count(events.items.size());
  for (const ItemEvents& item : events.items) {
    out.text(item.identifier_suffix);
    out.flag(item.master.has_value());
    if (item.master && !write_component(out, *item.master)) return std::nullopt;
    out.count(item.overrides.size());
    for (const OverrideEvent& o : item.overrides) {
      if (!write_component(out, o.event)) return std::nullopt;
      out.integer(o.revision.sequence);
      if (!write_revision_time(out, o.revision.last_modified) || !write_revision_time(out, o.revision.stamp)) {
        return std::nullopt;
      }
    }
  }
  return out.take();
}

std::optional<FileEvents> events_from_digest(std::string_view digest) {
  ByteReader in(digest);
  if (in.byte() != kDigestVersion) return std::nullopt;
  FileEvents events;
  for (std::size_t n = in.count(); n > 0 && in.ok(); --n) {
    ItemEvents item;
    item.identifier_suffix = in.text();
    if (!is_identifier_suffix(item.identifier_suffix)) in.fail();
    if (in.flag()) {
      item.master = read_component(in);
      // A master whose start names no instant on this machine's zone is no event here.
      if (item.master && !settle_lengths(*item.master)) item.master.reset();
    }
    for (std::size_t k = in.count(); k > 0 && in.ok(); --k) {
      auto event = read_component(in);
      Revision revision;
      revision.sequence = read_sequence(in);
      revision.last_modified = read_revision_time(in);
      revision.stamp = read_revision_time(in);
      if (event && event->recurrence_id && settle_lengths(*event)) {
        item.overrides.push_back(OverrideEvent{std::move(*event), std::move(revision)});
      }
    }
    events.items.push_back(std::move(item));
  }
  if (!in.done()) return std::nullopt;
  return events;
}

}  // namespace platform::local
