#pragma once

// The index's own binary forms (an event digest, a packed reminder), field by field:
// fixed-width integers least significant byte first, texts after their length.
// Each shape is told once, by a template over the form: a ByteWriter puts a value's
// fields and a ByteReader fills them (`reads` tells which). Both make the shape's
// checks, so what is written reads back and bytes no writer gives read as nothing.

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::local {

// More than any file could hold: a count beyond it is damage.
inline constexpr std::uint32_t kMostEntries = 1u << 24;

class ByteWriter {
 public:
  static constexpr bool reads = false;
  // False once a check failed: the value has no exact form.
  bool ok() const { return ok_; }
  void check(bool holds) { ok_ = ok_ && holds; }
  template <class Small>
  void byte(Small value) { out_.push_back(static_cast<char>(value)); }
  void flag(bool value) { byte(value); }
  void number(std::int64_t value, std::int64_t least, std::int64_t most) {
    check(value >= least && value <= most);
    fixed(static_cast<std::uint64_t>(value));
  }
  void real(double value) { fixed(std::bit_cast<std::uint64_t>(value)); }
  void text(std::string_view value) {
    count(value.size());
    out_.append(value);
  }
  // `value` is a std::optional or a pointer.
  template <class Optional, class Fields>
  void optional(const Optional& value, Fields fields) {
    flag(value ? true : false);
    if (value) fields(*value);
  }
  template <class T, class Fields>
  void list(const std::vector<T>& values, Fields fields) {
    count(values.size());
    for (const T& value : values) fields(value);
  }
  std::string take() { return std::move(out_); }

 private:
  void count(std::size_t value) {
    check(value <= kMostEntries);
    fixed(static_cast<std::uint32_t>(value));
  }
  template <class Unsigned>
  void fixed(Unsigned value) {
    for (std::size_t i = 0; i < sizeof value; ++i) byte(value >> (8 * i));
  }
  std::string out_;
  bool ok_ = true;
};

// A reader fails, and stays failed, at the first field the bytes cannot hold; what
// it fills after that is meaningless, and the caller checks `done()` at the end.
class ByteReader {
 public:
  static constexpr bool reads = true;
  explicit ByteReader(std::string_view in) : in_(in) {}
  // Every field read, every check held, and no byte left over.
  bool done() const { return ok_ && at_ == in_.size(); }
  void check(bool holds) { ok_ = ok_ && holds; }
  template <class Small>
  void byte(Small& value) { value = static_cast<Small>(fixed<std::uint8_t>()); }
  template <class Flag>
  void flag(Flag& value) {
    std::uint8_t read = fixed<std::uint8_t>();
    check(read <= 1);
    value = static_cast<Flag>(read == 1);
  }
  template <class Int>
  void number(Int& value, std::int64_t least, std::int64_t most) {
    auto read = static_cast<std::int64_t>(fixed<std::uint64_t>());
    bool within = read >= least && read <= most;
    check(within);
    // Out of its range it reads as `least`: no value breaks its range, even before the end.
    value = static_cast<Int>(within ? read : least);
  }
  void real(double& value) { value = std::bit_cast<double>(fixed<std::uint64_t>()); }
  void text(std::string& value) {
    std::size_t size = count();
    check(in_.size() - at_ >= size);
    if (!ok_) return;
    value.assign(in_.substr(at_, size));
    at_ += size;
  }
  template <class T, class Fields>
  void optional(std::optional<T>& value, Fields fields) {
    bool present = false;
    flag(present);
    if (present) fields(value.emplace());
  }
  template <class T, class Fields>
  void list(std::vector<T>& values, Fields fields) {
    for (std::size_t n = count(); n > 0 && ok_; --n) fields(values.emplace_back());
  }

 private:
  std::size_t count() {
    auto value = fixed<std::uint32_t>();
    check(value <= kMostEntries);
    return ok_ ? value : 0;
  }
  // One check of the room for the whole field, so that its bytes read as one load.
  template <class Unsigned>
  Unsigned fixed() {
    check(in_.size() - at_ >= sizeof(Unsigned));
    if (!ok_) return 0;
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
