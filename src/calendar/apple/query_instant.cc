#include "calendar/apple/query_instant.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace bridge {

namespace {

constexpr std::string_view kUnicodeMinus = "\xE2\x88\x92";  // U+2212

// Reads the text from left to right; every step either consumes what it expects or fails.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // Exactly `count` ASCII digits as a number.
  std::optional<int> digits(int count) {
    if (text_.size() - pos_ < static_cast<std::size_t>(count)) return std::nullopt;
    int value = 0;
    for (int i = 0; i < count; ++i) {
      char ch = text_[pos_ + i];
      if (ch < '0' || ch > '9') return std::nullopt;
      value = value * 10 + (ch - '0');
    }
    pos_ += count;
    return value;
  }

  bool accept(std::string_view token) {
    if (text_.substr(pos_).substr(0, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }

  bool accept_any_of(std::string_view chars) {
    if (pos_ >= text_.size() || chars.find(text_[pos_]) == std::string_view::npos) return false;
    ++pos_;
    return true;
  }

  // One or more digits; the first three as milliseconds, the finer ones dropped.
  std::optional<int> fraction_millis() {
    int millis = 0, count = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (count < 3) millis = millis * 10 + (text_[pos_] - '0');
      ++count;
      ++pos_;
    }
    if (count == 0) return std::nullopt;
    for (; count < 3; ++count) millis *= 10;
    return millis;
  }

  bool at_end() const { return pos_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Milliseconds since 1970 of the text, or nothing when it is not an RFC 3339 date-time.
std::optional<std::int64_t> read_millis(std::string_view text) {
  using namespace std::chrono;
  Reader in(text);
  auto y = in.digits(4);
  if (!y || !in.accept("-")) return std::nullopt;
  auto mo = in.digits(2);
  if (!mo || !in.accept("-")) return std::nullopt;
  auto d = in.digits(2);
  if (!d || !in.accept_any_of("Tt ")) return std::nullopt;
  auto h = in.digits(2);
  if (!h || !in.accept(":")) return std::nullopt;
  auto mi = in.digits(2);
  if (!mi || !in.accept(":")) return std::nullopt;
  auto s = in.digits(2);
  if (!s) return std::nullopt;
  int millis = 0;
  if (in.accept(".")) {
    auto fraction = in.fraction_millis();
    if (!fraction) return std::nullopt;
    millis = *fraction;
  }
  int offset_sign = 0;
  int offset_minutes = 0;
  if (in.accept_any_of("Zz")) {
    offset_sign = 1;
  } else {
    if (in.accept("+")) offset_sign = 1;
    else if (in.accept("-") || in.accept(kUnicodeMinus)) offset_sign = -1;
    else return std::nullopt;
    auto oh = in.digits(2);
    if (!oh || !in.accept(":")) return std::nullopt;
    auto om = in.digits(2);
    if (!om || *oh > 23 || *om > 59) return std::nullopt;
    offset_minutes = *oh * 60 + *om;
  }
  if (!in.at_end()) return std::nullopt;

  year_month_day date{year(*y), month(static_cast<unsigned>(*mo)), day(static_cast<unsigned>(*d))};
  // Second 60 is the leap second RFC 3339 allows; it counts as the next minute's first.
  if (!date.ok() || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
  std::int64_t seconds = sys_days(date).time_since_epoch().count() * std::int64_t{86400} + *h * 3600 + *mi * 60 + *s -
                         offset_sign * offset_minutes * 60;
  return seconds * 1000 + millis;
}

}  // namespace

std::variant<platform::Date, Failure> parse_query_instant(std::string_view text) {
  std::optional<std::int64_t> millis = read_millis(text);
  if (!millis) return Failure{"无法解析日期 " + std::string(text)};
  return platform::Date::with_time_interval_since_1970(static_cast<double>(*millis) / 1000.0);
}

}  // namespace bridge
