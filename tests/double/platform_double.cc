#include "double/platform_double.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/write_answers.h"

namespace double_platform {

using namespace std::chrono;
using platform::AccessCompletion;
using platform::Reminder;
using platform::ReminderFetchCompletion;
using platform::ReminderFields;

namespace {
// Runs a callback on another thread and waits for it, as a platform callback arrives.
void call_on_other_thread(const std::function<void()>& fn) {
  std::thread worker(fn);
  worker.join();
}

std::int64_t or_zero(std::int64_t v) { return v == platform::kUndefinedComponent ? 0 : v; }
}  // namespace

struct HeldAccess {
  nanoseconds deliver_at;
  AccessCompletion completion;
};

struct HeldFetch {
  platform::FetchRequestId id;
  nanoseconds deliver_at;
  ReminderFetchCompletion completion;
  std::optional<std::vector<std::string>> identifiers;  // nothing: no array
};

struct State {
  AuthorizationStatus status[2] = {AuthorizationStatus::notDetermined, AuthorizationStatus::notDetermined};
  AccessAnswer access_answer = AccessAnswer::grant;
  std::string access_error;
  milliseconds access_delay{0};
  bool supports_full_access = true;
  bool grant_updates_status = true;
  std::vector<HeldAccess> held_access;  // delayed or never answered

  std::vector<CalendarRef> calendars[2];
  std::vector<platform::Event> events;
  std::map<std::string, ReminderFields> reminders;
  int next_reminder = 1;

  FetchAnswer fetch_answer = FetchAnswer::reminders;
  milliseconds fetch_delay{0};
  std::function<void()> after_fetch;
  std::vector<HeldFetch> held_fetches;
  platform::FetchRequestId next_fetch = 1;

  std::string save_error;
  int save_error_on = 0;
  std::string save_error_on_text;
  std::string remove_error;
  bool save_answers_no = false;
  bool remove_answers_no = false;
  std::function<void(ReminderFields&)> save_transform;

  platform::TimeZone local_zone = platform::TimeZone::named("UTC");
  int local_offset = 0;
  std::map<std::string, int> zone_offsets;
  Date wall{1740787200};  // 2025-03-01T00:00:00Z
  nanoseconds monotonic{seconds(1000)};
  nanoseconds monotonic_start{seconds(1000)};
  bool run_loop_returns_at_once = false;

  bool write_lock_unavailable = false;
  bool write_lock_held = false;

  Counters counters;

  void answer_access(AccessCompletion completion) {
    bool granted = access_answer == AccessAnswer::grant || access_answer == AccessAnswer::grant_with_error;
    bool with_error = access_answer == AccessAnswer::grant_with_error || access_answer == AccessAnswer::refuse_with_error;
    std::optional<platform::Error> error;
    if (with_error) error = platform::Error{access_error};
    call_on_other_thread([&] { completion(granted, error); });
  }

  void deliver_due() {
    for (auto it = held_access.begin(); it != held_access.end();) {
      if (it->deliver_at <= monotonic) {
        AccessCompletion completion = std::move(it->completion);
        it = held_access.erase(it);
        answer_access(std::move(completion));
      } else {
        ++it;
      }
    }
    for (auto it = held_fetches.begin(); it != held_fetches.end();) {
      if (it->deliver_at <= monotonic) {
        HeldFetch fetch = std::move(*it);
        it = held_fetches.erase(it);
        call_on_other_thread([&] { fetch.completion(std::move(fetch.identifiers)); });
        if (after_fetch) after_fetch();
      } else {
        ++it;
      }
    }
  }

  // Moves both fake clocks on.
  void pass(nanoseconds time) {
    monotonic += time;
    wall.seconds_since_1970 += duration<double>(time).count();
  }

  int offset_of(const platform::TimeZone& zone) const {
    if (auto fixed = zone.fixed_offset_seconds()) return *fixed;
    if (zone == local_zone) return local_offset;
    auto found = zone_offsets.find(zone.name());
    return found == zone_offsets.end() ? 0 : found->second;
  }
};

namespace {

class StoreDouble : public platform::EventStore {
 public:
  explicit StoreDouble(std::shared_ptr<State> state) : state_(std::move(state)) {
    ++state_->counters.stores_opened;
    ++state_->counters.stores_alive;
    note_access();
  }
  ~StoreDouble() override { --state_->counters.stores_alive; }

  bool responds_to_full_access_request(EntityType) const override { return state_->supports_full_access; }

  void request_full_access(EntityType type, AccessCompletion completion) override {
    ++state_->counters.full_access_requests;
    request(type, std::move(completion));
  }
  void request_access(EntityType type, AccessCompletion completion) override {
    ++state_->counters.legacy_access_requests;
    request(type, std::move(completion));
  }

  std::vector<CalendarRef> calendars_for_entity_type(EntityType type) override {
    if (!access_noted_[static_cast<int>(type)]) return {};
    return state_->calendars[static_cast<int>(type)];
  }

  void reset() override {
    ++state_->counters.resets;
    note_access();
  }

  std::vector<platform::Event> events_matching(Date start, Date end, const std::vector<CalendarRef>& calendars) override {
    std::vector<platform::Event> found;
    for (const auto& event : state_->events) {
      bool chosen = std::any_of(calendars.begin(), calendars.end(), [&](const CalendarRef& c) {
        return event.calendar && c && c->identifier == event.calendar->identifier;
      });
      bool overlaps = event.start_date == event.end_date
                          ? event.start_date >= start && event.start_date < end
                          : event.start_date < end && event.end_date > start;
      if (chosen && overlaps) found.push_back(event);
    }
    return found;
  }

  platform::FetchRequestId fetch_reminders(const std::vector<CalendarRef>& lists,
                                           ReminderFetchCompletion completion) override {
    ++state_->counters.fetches;
    if (state_->write_lock_held) ++state_->counters.fetches_under_write_lock;
    platform::FetchRequestId id = state_->next_fetch++;
    std::optional<std::vector<std::string>> identifiers(std::in_place);
    for (const auto& entry : state_->reminders) {
      const auto& fields = entry.second;  // clang 14 cannot capture a structured binding
      bool chosen = std::any_of(lists.begin(), lists.end(), [&](const CalendarRef& c) {
        return fields.calendar && c && c->identifier == fields.calendar->identifier;
      });
      if (chosen) identifiers->push_back(fields.calendar_item_identifier);
    }
    switch (state_->fetch_answer) {
      case FetchAnswer::drop:
        completion = nullptr;
        return id;
      case FetchAnswer::never:
        state_->held_fetches.push_back({id, nanoseconds::max(), std::move(completion), std::move(identifiers)});
        return id;
      case FetchAnswer::no_array:
        identifiers.reset();
        [[fallthrough]];
      case FetchAnswer::reminders:
        break;
    }
    state_->held_fetches.push_back(
        {id, state_->monotonic + state_->fetch_delay, std::move(completion), std::move(identifiers)});
    state_->deliver_due();
    return id;
  }

  void cancel_fetch_request(platform::FetchRequestId id) override {
    ++state_->counters.fetch_cancels;
    auto& held = state_->held_fetches;
    held.erase(std::remove_if(held.begin(), held.end(), [&](const HeldFetch& f) { return f.id == id; }), held.end());
  }

  std::optional<platform::CalendarItem> calendar_item_with_identifier(std::string_view identifier) override {
    auto found = state_->reminders.find(std::string(identifier));
    if (found != state_->reminders.end()) return platform::CalendarItem(Reminder(found->second, nullptr, false));
    for (const auto& event : state_->events) {
      if (event.calendar_item_identifier == identifier) return platform::CalendarItem(event);
    }
    return std::nullopt;
  }

  Reminder new_reminder() override { return Reminder(ReminderFields{}, nullptr, true); }

  result::Expected<result::Done, platform::Error> save_reminder(Reminder& reminder) override {
    // What the calendar database does with nothing to save (answers no, without
    // an error), as the backend reports it: a success that stores nothing.
    if (!reminder.is_new()) {
      auto found = state_->reminders.find(reminder.calendar_item_identifier());
      if (found != state_->reminders.end() && state_->save_error.empty() &&
          state_->counters.saves + 1 != state_->save_error_on) {
        ReminderFields stored = found->second;
        apply_changes(reminder, stored);
        if (same_fields(stored, found->second)) {
          ++state_->counters.saves;
          ++state_->counters.unchanged_saves;
          return platform::save_answer({false, std::nullopt}, false);
        }
      }
    }
    int number = ++state_->counters.saves;
    if (state_->write_lock_held) ++state_->counters.saves_under_write_lock;
    if (!state_->save_error.empty()) return platform::Error{state_->save_error};
    if (number == state_->save_error_on) return platform::Error{state_->save_error_on_text};
    if (state_->save_answers_no) return platform::save_answer({false, std::nullopt}, true);
    const ReminderFields& fields = reminder.fields();
    if (!fields.calendar) return platform::Error{"没有选择列表"};
    if (!fields.calendar->allows_content_modifications) return platform::Error{"列表只读"};
    ReminderFields stored;
    std::string identifier = fields.calendar_item_identifier;
    if (reminder.is_new()) {
      identifier = "new-" + std::to_string(state_->next_reminder++);
      stored = fields;
      stored.calendar_item_identifier = identifier;
      stored.calendar_item_external_identifier = identifier;
    } else {
      auto found = state_->reminders.find(identifier);
      if (found == state_->reminders.end()) return platform::Error{"提醒事项不存在"};
      stored = found->second;
      apply_changes(reminder, stored);
    }
    if (state_->save_transform) state_->save_transform(stored);
    state_->reminders[identifier] = stored;
    reminder.mark_saved(identifier, stored.calendar_item_external_identifier, nullptr);
    return result::Done{};
  }

  result::Expected<result::Done, platform::Error> remove_reminder(const Reminder& reminder) override {
    ++state_->counters.removes;
    if (state_->write_lock_held) ++state_->counters.removes_under_write_lock;
    if (!state_->remove_error.empty()) return platform::Error{state_->remove_error};
    if (state_->remove_answers_no) return platform::removal_answer({false, std::nullopt});
    state_->reminders.erase(reminder.calendar_item_identifier());
    return result::Done{};
  }

 private:
  static void apply_changes(const Reminder& reminder, ReminderFields& stored) {
    const ReminderFields& f = reminder.fields();
    std::uint32_t changed = reminder.changed_fields();
    if (changed & Reminder::kCalendar) stored.calendar = f.calendar;
    if (changed & Reminder::kTitle) stored.title = f.title;
    if (changed & Reminder::kNotes) stored.notes = f.notes;
    if (changed & Reminder::kUrl) stored.url = f.url;
    if (changed & Reminder::kCompleted) stored.completed = f.completed;
    if (changed & Reminder::kPriority) stored.priority = f.priority;
    if (changed & Reminder::kStartDateComponents) stored.start_date_components = f.start_date_components;
    if (changed & Reminder::kDueDateComponents) stored.due_date_components = f.due_date_components;
    if (changed & Reminder::kAlarms) stored.alarms = f.alarms;
    if (changed & Reminder::kRecurrenceRules) stored.recurrence_rules = f.recurrence_rules;
  }

  // What a store opened (or reset) now may see.
  void note_access() {
    for (int type = 0; type < 2; ++type) access_noted_[type] = state_->status[type] == AuthorizationStatus::fullAccess;
  }

  static bool same_fields(const ReminderFields& a, const ReminderFields& b) {
    auto same_alarms = [](const std::vector<platform::Alarm>& x, const std::vector<platform::Alarm>& y) {
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i].absolute_date != y[i].absolute_date) return false;
      }
      return true;
    };
    auto rules_of = [](const ReminderFields& f) {
      std::vector<platform::RecurrenceRule> rules = f.recurrence_rules.value_or(std::vector<platform::RecurrenceRule>{});
      for (auto& rule : rules) rule.origin = nullptr;
      return rules;
    };
    auto same_rules = [&](const ReminderFields& x, const ReminderFields& y) {
      std::vector<platform::RecurrenceRule> rx = rules_of(x), ry = rules_of(y);
      if (rx.size() != ry.size()) return false;
      for (std::size_t i = 0; i < rx.size(); ++i) {
        const auto& l = rx[i];
        const auto& r = ry[i];
        if (l.frequency != r.frequency || l.interval != r.interval || l.first_day_of_the_week != r.first_day_of_the_week ||
            l.days_of_the_week != r.days_of_the_week || l.days_of_the_month != r.days_of_the_month ||
            l.months_of_the_year != r.months_of_the_year || l.weeks_of_the_year != r.weeks_of_the_year ||
            l.days_of_the_year != r.days_of_the_year || l.set_positions != r.set_positions ||
            l.recurrence_end != r.recurrence_end)
          return false;
      }
      return true;
    };
    return a.calendar == b.calendar && a.title == b.title && a.notes == b.notes && a.url == b.url &&
           a.completed == b.completed && a.priority == b.priority &&
           a.start_date_components == b.start_date_components && a.due_date_components == b.due_date_components &&
           same_alarms(a.alarms, b.alarms) && same_rules(a, b);
  }

  void request(EntityType type, AccessCompletion completion) {
    State& s = *state_;
    AuthorizationStatus& status = s.status[static_cast<int>(type)];
    if (s.access_answer == AccessAnswer::drop) {
      completion = nullptr;
      return;
    }
    if (s.access_answer == AccessAnswer::never) {
      s.held_access.push_back({nanoseconds::max(), std::move(completion)});
      return;
    }
    if (s.grant_updates_status) {
      if (s.access_answer == AccessAnswer::grant || s.access_answer == AccessAnswer::grant_with_error) {
        status = AuthorizationStatus::fullAccess;
      }
    }
    s.held_access.push_back({s.monotonic + s.access_delay, std::move(completion)});
    s.deliver_due();
  }

  std::shared_ptr<State> state_;
  bool access_noted_[2] = {false, false};
};

}  // namespace

PlatformDouble::PlatformDouble() : state_(std::make_shared<State>()) {}
PlatformDouble::~PlatformDouble() = default;

void PlatformDouble::set_status(EntityType type, AuthorizationStatus status) { state_->status[static_cast<int>(type)] = status; }
void PlatformDouble::set_access_answer(AccessAnswer answer, std::string error_text) {
  state_->access_answer = answer;
  state_->access_error = std::move(error_text);
}
void PlatformDouble::set_access_answer_delay(milliseconds delay) { state_->access_delay = delay; }
void PlatformDouble::set_supports_full_access(bool supported) { state_->supports_full_access = supported; }
void PlatformDouble::set_grant_updates_status(bool updates) { state_->grant_updates_status = updates; }
void PlatformDouble::deliver_held_access_answer(bool granted) {
  auto held = std::move(state_->held_access);
  state_->held_access.clear();
  for (auto& h : held) {
    call_on_other_thread([&] { h.completion(granted, std::nullopt); });
  }
}

CalendarRef PlatformDouble::add_calendar(EntityType type, platform::Calendar calendar) {
  auto ref = std::make_shared<const platform::Calendar>(std::move(calendar));
  state_->calendars[static_cast<int>(type)].push_back(ref);
  return ref;
}
void PlatformDouble::add_event(platform::Event event) { state_->events.push_back(std::move(event)); }
void PlatformDouble::add_reminder(ReminderFields fields) {
  std::string id = fields.calendar_item_identifier;
  state_->reminders[id] = std::move(fields);
}
std::optional<ReminderFields> PlatformDouble::stored_reminder(const std::string& identifier) const {
  auto found = state_->reminders.find(identifier);
  if (found == state_->reminders.end()) return std::nullopt;
  return found->second;
}
std::vector<ReminderFields> PlatformDouble::stored_reminders() const {
  std::vector<ReminderFields> all;
  for (const auto& [id, fields] : state_->reminders) all.push_back(fields);
  return all;
}
void PlatformDouble::remove_stored_reminder(const std::string& identifier) { state_->reminders.erase(identifier); }

void PlatformDouble::set_fetch_answer(FetchAnswer answer) { state_->fetch_answer = answer; }
void PlatformDouble::set_fetch_answer_delay(milliseconds delay) { state_->fetch_delay = delay; }
void PlatformDouble::set_after_fetch_answer(std::function<void()> hook) { state_->after_fetch = std::move(hook); }
void PlatformDouble::set_save_error(std::string text) { state_->save_error = std::move(text); }
void PlatformDouble::set_save_error_on(int save_number, std::string text) {
  state_->save_error_on = save_number;
  state_->save_error_on_text = std::move(text);
}
void PlatformDouble::set_remove_error(std::string text) { state_->remove_error = std::move(text); }
void PlatformDouble::set_save_answers_no_without_error(bool answers) { state_->save_answers_no = answers; }
void PlatformDouble::set_remove_answers_no_without_error(bool answers) { state_->remove_answers_no = answers; }
void PlatformDouble::set_save_transform(std::function<void(ReminderFields&)> transform) {
  state_->save_transform = std::move(transform);
}

void PlatformDouble::set_local_time_zone(platform::TimeZone zone, int offset_seconds) {
  state_->local_zone = std::move(zone);
  state_->local_offset = offset_seconds;
}
void PlatformDouble::set_zone_offset(const std::string& name, int offset_seconds) {
  state_->zone_offsets[name] = offset_seconds;
}
void PlatformDouble::set_wall_clock(Date now) { state_->wall = now; }
void PlatformDouble::set_run_loop_returns_at_once(bool at_once) { state_->run_loop_returns_at_once = at_once; }

const Counters& PlatformDouble::counters() const { return state_->counters; }
nanoseconds PlatformDouble::fake_elapsed() const { return state_->monotonic - state_->monotonic_start; }

AuthorizationStatus PlatformDouble::authorization_status(EntityType type) {
  ++state_->counters.status_reads;
  return state_->status[static_cast<int>(type)];
}

std::unique_ptr<platform::EventStore> PlatformDouble::open_event_store() {
  return std::make_unique<StoreDouble>(state_);
}

Date PlatformDouble::now() { return state_->wall; }

void PlatformDouble::run_main_loop_until(Date date) {
  ++state_->counters.run_loop_slices;
  if (state_->run_loop_returns_at_once) {
    state_->pass(kRunLoopTurn);
    state_->deliver_due();
    return;
  }
  double delta = date.seconds_since_1970 - state_->wall.seconds_since_1970;
  if (delta > 0) {
    // Whole microseconds, so slices of 0.2 s add up to exactly 180 s of fake time.
    microseconds slice(std::llround(delta * 1e6));
    state_->wall = date;
    state_->monotonic += slice;
    state_->counters.longest_run_loop_slice = std::max(state_->counters.longest_run_loop_slice, slice);
  }
  state_->deliver_due();
}

nanoseconds PlatformDouble::monotonic_now() { return state_->monotonic; }

void PlatformDouble::sleep_until(nanoseconds time) {
  ++state_->counters.sleeps;
  if (time > state_->monotonic) state_->pass(time - state_->monotonic);
  state_->deliver_due();
}

platform::TimeZone PlatformDouble::local_time_zone() { return state_->local_zone; }

int PlatformDouble::seconds_from_gmt(const platform::TimeZone& zone, Date) { return state_->offset_of(zone); }

platform::CalendarFields PlatformDouble::current_calendar_components(Date date) {
  auto local = sys_seconds(seconds(static_cast<std::int64_t>(std::floor(date.seconds_since_1970)))) +
               seconds(state_->local_offset);
  auto day = floor<days>(local);
  year_month_day ymd(day);
  hh_mm_ss<seconds> time(local - day);
  return {static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
          time.hours().count(), time.minutes().count(), time.seconds().count()};
}

std::optional<Date> PlatformDouble::date_from_components(const platform::DateComponents& c) {
  if (!c.calendar || *c.calendar != platform::kGregorianCalendar) return std::nullopt;
  if (c.year == platform::kUndefinedComponent || c.month == platform::kUndefinedComponent ||
      c.day == platform::kUndefinedComponent)
    return std::nullopt;
  // Out-of-range fields roll over, as a lenient calendar does.
  year_month_day first(year(static_cast<int>(c.year)), month(1), day(1));
  auto base = sys_days(first) + months(c.month - 1);
  sys_days midnight = sys_days(year_month_day(floor<days>(base)).year() / year_month_day(floor<days>(base)).month() / 1) +
                      days(c.day - 1);
  double seconds_total = static_cast<double>(midnight.time_since_epoch().count()) * 86400.0 +
                         static_cast<double>(or_zero(c.hour) * 3600 + or_zero(c.minute) * 60 + or_zero(c.second)) +
                         static_cast<double>(or_zero(c.nanosecond)) / 1e9;
  int offset = c.time_zone ? state_->offset_of(*c.time_zone) : state_->local_offset;
  return Date{seconds_total - offset};
}

std::optional<platform::Url> PlatformDouble::url_with_string(std::string_view text) {
  // Like URLWithString:: a scheme, then only characters a URL may hold.
  std::size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
  for (std::size_t i = 0; i < colon; ++i) {
    char ch = text[i];
    bool ok = std::isalpha(static_cast<unsigned char>(ch)) ||
              (i > 0 && (std::isdigit(static_cast<unsigned char>(ch)) || ch == '+' || ch == '-' || ch == '.'));
    if (!ok) return std::nullopt;
  }
  for (unsigned char ch : text) {
    if (ch <= 0x20 || ch >= 0x7f || std::string_view("\"<>\\^`{|}").find(static_cast<char>(ch)) != std::string_view::npos)
      return std::nullopt;
  }
  return platform::Url{std::string(text)};
}

namespace {

// Marks the lock held for as long as it lives.
class WriteLockDouble : public platform::HeldLock {
 public:
  explicit WriteLockDouble(std::shared_ptr<State> state) : state_(std::move(state)) { state_->write_lock_held = true; }
  ~WriteLockDouble() override { state_->write_lock_held = false; }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace

void PlatformDouble::set_write_lock_unavailable(bool unavailable) { state_->write_lock_unavailable = unavailable; }

bool PlatformDouble::write_lock_held() const { return state_->write_lock_held; }

std::unique_ptr<platform::HeldLock> PlatformDouble::hold_reminder_write_lock() {
  ++state_->counters.write_locks_taken;
  if (state_->write_lock_unavailable) return nullptr;
  return std::make_unique<WriteLockDouble>(state_);
}

}  // namespace double_platform
