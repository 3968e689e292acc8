#pragma once

// A channel that carries a platform callback's answer to the waiting main thread:
// unbounded, any number of senders, one receiver. The receiver can tell "nothing
// yet" from "every sender is gone", and a send after the receiver gave up is
// dropped without notice.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

namespace bridge {

namespace channel_detail {
template <typename T>
struct Shared {
  std::mutex mutex;
  std::deque<T> queue;
  int senders = 0;
  bool receiver_alive = true;
};
}  // namespace channel_detail

// A sending end. Copyable (a copy is one more sender), so it can live inside a
// std::function; the last copy to go closes the channel.
template <typename T>
class Sender {
 public:
  explicit Sender(std::shared_ptr<channel_detail::Shared<T>> shared) : shared_(std::move(shared)) { add(); }
  Sender(const Sender& other) : shared_(other.shared_) { add(); }
  Sender(Sender&& other) noexcept : shared_(std::move(other.shared_)) {}
  Sender& operator=(Sender other) noexcept {
    std::swap(shared_, other.shared_);
    return *this;
  }
  ~Sender() {
    if (!shared_) return;
    std::lock_guard lock(shared_->mutex);
    --shared_->senders;
  }

  // False when the receiving end is gone; the message is then dropped.
  bool send(T message) const {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->receiver_alive) return false;
    shared_->queue.push_back(std::move(message));
    return true;
  }

 private:
  void add() {
    std::lock_guard lock(shared_->mutex);
    ++shared_->senders;
  }

  std::shared_ptr<channel_detail::Shared<T>> shared_;
};

struct ChannelEmpty {};
struct ChannelClosed {};

template <typename T>
class Receiver {
 public:
  explicit Receiver(std::shared_ptr<channel_detail::Shared<T>> shared) : shared_(std::move(shared)) {}
  Receiver(Receiver&&) noexcept = default;
  Receiver& operator=(Receiver&&) noexcept = default;
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;
  ~Receiver() {
    if (!shared_) return;
    std::lock_guard lock(shared_->mutex);
    shared_->receiver_alive = false;
    shared_->queue.clear();
  }

  // Never blocks: a queued message, else whether a sender may still send one.
  std::variant<T, ChannelEmpty, ChannelClosed> try_receive() {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->queue.empty()) {
      T message = std::move(shared_->queue.front());
      shared_->queue.pop_front();
      return message;
    }
    if (shared_->senders == 0) return ChannelClosed{};
    return ChannelEmpty{};
  }

 private:
  std::shared_ptr<channel_detail::Shared<T>> shared_;
};

template <typename T>
std::pair<Sender<T>, Receiver<T>> make_channel() {
  auto shared = std::make_shared<channel_detail::Shared<T>>();
  return {Sender<T>(shared), Receiver<T>(shared)};
}

}  // namespace bridge
