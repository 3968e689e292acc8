#include "calendar/reminders/reminder_fetch.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace bridge::reminders {
namespace {

constexpr const char* kTimedOut = "提醒事项请求超时";
constexpr const char* kInterrupted = "提醒事项请求中断";
constexpr const char* kNoArray = "读取提醒事项失败，未执行同步。";
constexpr const char* kChangedWhileReading = "提醒事项读取期间发生变化，请重试。";

constexpr std::chrono::seconds kFetchDeadline{30};
constexpr double kSliceSeconds = 0.05;

// What the platform's callback hands over: identifiers only (reminder objects
// stay on the main thread), or nothing when it had no array.
using FetchAnswer = std::optional<std::vector<std::string>>;

// A hand-over of one answer between threads that tells "nothing yet" from
// "nothing will come" (every sending end gone).
class AnswerChannel {
 public:
  enum class Poll { answer, empty, closed };

  void send(FetchAnswer answer) {
    std::lock_guard lock(mutex_);
    if (!answer_) answer_ = std::move(answer);
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  Poll try_receive(FetchAnswer& out) {
    std::lock_guard lock(mutex_);
    if (answer_) {
      out = std::move(*answer_);
      return Poll::answer;
    }
    return closed_ ? Poll::closed : Poll::empty;
  }

 private:
  std::mutex mutex_;
  std::optional<FetchAnswer> answer_;
  bool closed_ = false;
};

// The callback's end: closes the channel when the platform lets go of the callback.
class AnswerSender {
 public:
  explicit AnswerSender(std::shared_ptr<AnswerChannel> channel) : channel_(std::move(channel)) {}
  ~AnswerSender() { channel_->close(); }
  AnswerSender(const AnswerSender&) = delete;
  AnswerSender& operator=(const AnswerSender&) = delete;
  void send(FetchAnswer answer) { channel_->send(std::move(answer)); }

 private:
  std::shared_ptr<AnswerChannel> channel_;
};

platform::ReminderFetchCompletion make_completion(std::shared_ptr<AnswerChannel> channel) {
  auto sender = std::make_shared<AnswerSender>(std::move(channel));
  return [sender](const std::vector<platform::Reminder>* reminders) {
    if (reminders == nullptr) {
      sender->send(std::nullopt);
      return;
    }
    std::vector<std::string> identifiers;
    identifiers.reserve(reminders->size());
    for (const platform::Reminder& reminder : *reminders) identifiers.push_back(reminder.calendar_item_identifier());
    sender->send(std::move(identifiers));
  };
}

// Waits for the answer; a failure once the deadline passes or the callback is gone.
Expected<FetchAnswer> wait_for_answer(platform::Platform& platform, platform::EventStore& store,
                                      platform::FetchRequestId request, AnswerChannel& channel) {
  const auto deadline = platform.monotonic_now() + kFetchDeadline;
  for (;;) {
    FetchAnswer answer;
    switch (channel.try_receive(answer)) {
      case AnswerChannel::Poll::answer:
        return answer;
      case AnswerChannel::Poll::closed:
        store.cancel_fetch_request(request);
        return Failure{kInterrupted};
      case AnswerChannel::Poll::empty:
        break;
    }
    if (platform.monotonic_now() >= deadline) {
      store.cancel_fetch_request(request);
      return Failure{kTimedOut};
    }
    platform.run_main_loop_until(
        platform::Date::with_time_interval_since_1970(platform.now().time_interval_since_1970() + kSliceSeconds));
  }
}

}  // namespace

std::optional<Failure> for_each_fetched_reminder(
    platform::Platform& platform, platform::EventStore& store, const std::vector<platform::CalendarRef>& lists,
    const std::function<void(platform::Reminder&& reminder, std::size_t count)>& visit) {
  auto channel = std::make_shared<AnswerChannel>();
  platform::FetchRequestId request = store.fetch_reminders(lists, make_completion(channel));
  Expected<FetchAnswer> waited = wait_for_answer(platform, store, request, *channel);
  if (failed(waited)) return std::get<Failure>(std::move(waited));
  FetchAnswer& answer = std::get<FetchAnswer>(waited);
  if (!answer) return Failure{kNoArray};

  // Back on the main thread: each identifier becomes a reminder of this store again.
  for (const std::string& identifier : *answer) {
    std::optional<platform::CalendarItem> item = store.calendar_item_with_identifier(identifier);
    if (!item || !std::holds_alternative<platform::Reminder>(*item)) return Failure{kChangedWhileReading};
    visit(std::get<platform::Reminder>(std::move(*item)), answer->size());
  }
  return std::nullopt;
}

Expected<std::vector<platform::Reminder>> fetch_reminders(platform::Platform& platform, platform::EventStore& store,
                                                          const std::vector<platform::CalendarRef>& lists) {
  std::vector<platform::Reminder> reminders;
  std::optional<Failure> failure = for_each_fetched_reminder(
      platform, store, lists, [&](platform::Reminder&& reminder, std::size_t count) {
        reminders.reserve(count);
        reminders.push_back(std::move(reminder));
      });
  if (failure) return std::move(*failure);
  return reminders;
}

}  // namespace bridge::reminders
