#include "calendar/command/json_array_text.h"

#include <system_error>
#include <utility>

namespace bridge {

JsonArrayText::JsonArrayText(std::size_t expected_count)
    : expected_count_(expected_count), filling_(kBatch), writing_(kBatch) {
  // Few values are not worth a thread.
  if (expected_count <= kBatch) return;
  try {
    writer_ = std::thread([this] { write_batches(); });
  } catch (const std::system_error&) {
    // Written on this thread instead.
  }
}

JsonArrayText::~JsonArrayText() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

Json& JsonArrayText::next() {
  if (filled_ == kBatch) hand_over();
  return filling_[filled_++];
}

void JsonArrayText::hand_over() {
  if (!writer_.joinable()) {
    write(filling_, filled_);
    filled_ = 0;
    return;
  }
  std::unique_lock lock(mutex_);
  // The writer is done with the last batch once it has given it back.
  changed_.wait(lock, [&] { return !handed_; });
  std::swap(filling_, writing_);
  to_write_ = filled_;
  handed_ = true;
  filled_ = 0;
  lock.unlock();
  changed_.notify_all();
}

void JsonArrayText::write_batches() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return handed_ || closing_; });
    if (!handed_) return;
    lock.unlock();
    write(writing_, to_write_);
    lock.lock();
    handed_ = false;
    changed_.notify_all();
  }
}

void JsonArrayText::write(const std::vector<Json>& batch, std::size_t count) {
  for (std::size_t i = 0; i < count && !unwritable_; ++i) {
    try {
      const std::string written = batch[i].dump();
      // Room for as many values of about this size, so the text is rarely moved.
      if (text_.size() == 1) text_.reserve(2 + (written.size() + 1) * expected_count_ / 4 * 5);
      if (text_.size() > 1) text_ += ',';
      text_ += written;
    } catch (const Json::exception& error) {
      unwritable_ = error.what();
    }
  }
}

Expected<std::string> JsonArrayText::finish() {
  hand_over();
  if (writer_.joinable()) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !handed_; });
  }
  if (unwritable_) return Failure{*unwritable_};
  text_ += ']';
  return std::move(text_);
}

}  // namespace bridge
