#include "calendar/reminders/reminder_fetch.h"

#include <chrono>
#include <optional>
#include <string>

#include "calendar/access/callback_channel.h"
#include "calendar/access/callback_wait.h"

namespace bridge::reminders {
namespace {

constexpr const char* kNoArray = "读取提醒事项失败，未执行同步。";
constexpr const char* kChangedWhileReading = "提醒事项读取期间发生变化，请重试。";

constexpr std::chrono::seconds kFetchDeadline{30};
constexpr double kSliceSeconds = 0.05;

// What the platform's callback hands over: identifiers only (reminder objects
// stay with the platform), and whether it had an array at all.
struct FetchAnswer {
  bool had_array = false;
  std::vector<std::string> identifiers;
};

// The callback owns the only sending end, so the channel closes once the
// platform lets go of it, called or not.
platform::ReminderFetchCompletion make_completion(Sender<FetchAnswer> sender) {
  return [sender = std::move(sender)](std::optional<std::vector<std::string>> identifiers) {
    if (!identifiers) {
      sender.send(FetchAnswer{});
      return;
    }
    sender.send(FetchAnswer{true, std::move(*identifiers)});
  };
}

}  // namespace

Expected<Done> for_each_fetched_reminder(
    platform::Platform& platform, platform::EventStore& store, const std::vector<platform::CalendarRef>& lists,
    const std::function<void(platform::Reminder&& reminder, std::size_t count)>& visit) {
  auto [sender, answers] = make_channel<FetchAnswer>();
  platform::FetchRequestId request = store.fetch_reminders(lists, make_completion(std::move(sender)));
  Expected<FetchAnswer> waited =
      wait_for_answer(platform, answers, kFetchDeadline, kSliceSeconds, kReminderRequestMessages);
  if (!waited.ok()) {
    // The platform stops working on a fetch nobody waits for any more.
    store.cancel_fetch_request(request);
    return std::move(waited.error());
  }
  FetchAnswer& answer = waited.value();
  if (!answer.had_array) return Failure{kNoArray};

  // Back on the main thread: each identifier becomes a reminder of this store again.
  for (const std::string& identifier : answer.identifiers) {
    std::optional<platform::CalendarItem> item = store.calendar_item_with_identifier(identifier);
    if (!item || !std::holds_alternative<platform::Reminder>(*item)) return Failure{kChangedWhileReading};
    visit(std::get<platform::Reminder>(std::move(*item)), answer.identifiers.size());
  }
  return Done{};
}

Expected<std::vector<platform::Reminder>> fetch_reminders(platform::Platform& platform, platform::EventStore& store,
                                                          const std::vector<platform::CalendarRef>& lists) {
  std::vector<platform::Reminder> reminders;
  Expected<Done> visited = for_each_fetched_reminder(
      platform, store, lists, [&](platform::Reminder&& reminder, std::size_t count) {
        reminders.reserve(count);
        reminders.push_back(std::move(reminder));
      });
  if (!visited.ok()) return std::move(visited.error());
  return reminders;
}

}  // namespace bridge::reminders
