#pragma once

// The index's own binary forms (an event digest, a packed reminder), field by field:
// fixed-width integers least significant byte first, texts after their length.

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::local {

// More than any file could hold: a count beyond it is damage.
inline constexpr std::uint32_t kMostEntries = 1u << 24;

class ByteWriter {
 public:
  void byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void flag(bool value) { byte(value ? 1 : 0); }
  void count(std::size_t value) { fixed(static_cast<std::uint32_t>(value)); }
  void integer(std::int64_t value) { fixed(static_cast<std::uint64_t>(value)); }
  void real(double value) { fixed(std::bit_cast<std::uint64_t>(value)); }
  void text(std::string_view value) {
    count(value.size());
    out_.append(value);
  }
  void optional_text(const std::optional<std::string>& value) {
    flag(value.has_value());
    if (value) text(*value);
  }
  std::string take() { return std::move(out_); }

 private:
  template <class Unsigned>
  void fixed(Unsigned value) {
    for (std::size_t i = 0; i < sizeof value; ++i) byte(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  std::string out_;
};

// A reader fails, and stays failed, at the first field the bytes cannot hold; the
// caller checks `ok()` or `done()` at the end.
class ByteReader {
 public:
  explicit ByteReader(std::string_view in) : in_(in) {}
  bool ok() const { return ok_; }
  bool done() const { return ok_ && at_ == in_.size(); }
  std::uint8_t byte() { return fixed<std::uint8_t>(); }
  bool flag() {
    std::uint8_t value = byte();
    if (value > 1) fail();
    return value == 1;
  }
  std::size_t count() {
    auto value = fixed<std::uint32_t>();
    if (value > kMostEntries) return fail(), 0;
    return value;
  }
  std::int64_t integer() { return static_cast<std::int64_t>(fixed<std::uint64_t>()); }
  double real() { return std::bit_cast<double>(fixed<std::uint64_t>()); }
  std::string text() {
    std::size_t size = count();
    if (!ok_ || in_.size() - at_ < size) return fail(), std::string();
    std::string value(in_.substr(at_, size));
    at_ += size;
    return value;
  }
  std::optional<std::string> optional_text() {
    if (!flag()) return std::nullopt;
    return text();
  }
  void fail() { ok_ = false; }

 private:
  // One check of the room for the whole field, so that its bytes read as one load.
  template <class Unsigned>
  Unsigned fixed() {
    if (!ok_ || in_.size() - at_ < sizeof(Unsigned)) return fail(), 0;
    Unsigned value = 0;
    for (std::size_t i = 0; i < sizeof value; ++i) {
      value |= static_cast<Unsigned>(static_cast<std::uint8_t>(in_[at_ + i])) << (8 * i);
    }
    at_ += sizeof value;
    return value;
  }
  std::string_view in_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace platform::local
