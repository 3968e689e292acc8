#include "calendar/command/rfc3339.h"

#include "calendar/command/digits_text.h"

#include <chrono>

namespace bridge {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr std::int64_t kMillisPerSecond = 1000;
constexpr std::int64_t kSecondsPerDay = 86400;

// 0000-01-01T00:00:00Z and 9999-12-31T23:59:59Z in seconds since 1970.
constexpr std::int64_t kFirstWritableSecond =
    sys_days{std::chrono::year{0} / 1 / 1}.time_since_epoch().count() * kSecondsPerDay;
constexpr std::int64_t kLastWritableSecond =
    sys_days{std::chrono::year{9999} / 12 / 31}.time_since_epoch().count() * kSecondsPerDay + kSecondsPerDay - 1;

constexpr std::string_view kMinusSign = "\xE2\x88\x92";  // U+2212

// Reads the text from left to right; every step either takes what it expects or fails.
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

  // One or more digits after ".": the first nine as nanoseconds, finer ones dropped.
  std::optional<std::int64_t> fraction_nanoseconds() {
    std::int64_t value = 0;
    int count = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (count < 9) value = value * 10 + (text_[pos_] - '0');
      ++count;
      ++pos_;
    }
    if (count == 0) return std::nullopt;
    for (; count < 9; ++count) value *= 10;
    return value;
  }

  // yyyy-mm-dd naming a real day.
  std::optional<std::chrono::year_month_day> full_date() {
    auto y = digits(4);
    if (!y || !accept("-")) return std::nullopt;
    auto m = digits(2);
    if (!m || !accept("-")) return std::nullopt;
    auto d = digits(2);
    if (!d) return std::nullopt;
    std::chrono::year_month_day date{std::chrono::year{*y}, std::chrono::month{static_cast<unsigned>(*m)},
                                     std::chrono::day{static_cast<unsigned>(*d)}};
    if (!date.ok()) return std::nullopt;
    return date;
  }

  // "Z", "z" or ±hh:mm as seconds east of UTC.
  std::optional<int> offset(OffsetMinus minus) {
    if (accept_any_of("Zz")) return 0;
    int sign = 1;
    if (accept("-") || (minus == OffsetMinus::hyphen_or_minus_sign && accept(kMinusSign))) {
      sign = -1;
    } else if (!accept("+")) {
      return std::nullopt;
    }
    auto hours = digits(2);
    if (!hours || !accept(":")) return std::nullopt;
    auto minutes = digits(2);
    if (!minutes || *hours > 23 || *minutes > 59) return std::nullopt;
    return sign * (*hours * 3600 + *minutes * 60);
  }

  bool at_end() const { return pos_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<std::string> format_utc(std::int64_t unix_seconds, int millis) {
  if (unix_seconds < kFirstWritableSecond || unix_seconds > kLastWritableSecond) return std::nullopt;
  std::int64_t day_number = unix_seconds / kSecondsPerDay;
  std::int64_t second_of_day = unix_seconds % kSecondsPerDay;
  if (second_of_day < 0) {
    second_of_day += kSecondsPerDay;
    --day_number;
  }
  std::chrono::year_month_day date{sys_days{days{day_number}}};
  int hour = static_cast<int>(second_of_day / 3600);
  int minute = static_cast<int>(second_of_day % 3600 / 60);
  int second = static_cast<int>(second_of_day % 60);
  std::string text;
  text.reserve(32);
  auto field = [&text](char before, unsigned value, int width) {
    if (before) text.push_back(before);
    append_padded(text, value, width);
  };
  field(0, static_cast<unsigned>(static_cast<int>(date.year())), 4);
  field('-', static_cast<unsigned>(date.month()), 2);
  field('-', static_cast<unsigned>(date.day()), 2);
  field('T', static_cast<unsigned>(hour), 2);
  field(':', static_cast<unsigned>(minute), 2);
  field(':', static_cast<unsigned>(second), 2);
  if (millis != 0) field('.', static_cast<unsigned>(millis), 3);
  text += "+00:00";
  return text;
}

}  // namespace

std::optional<Rfc3339DateTime> parse_rfc3339(std::string_view text, OffsetMinus minus) {
  Reader in(text);
  Rfc3339DateTime result;
  auto date = in.full_date();
  if (!date || !in.accept_any_of("Tt ")) return std::nullopt;
  auto hour = in.digits(2);
  if (!hour || !in.accept(":")) return std::nullopt;
  auto minute = in.digits(2);
  if (!minute || !in.accept(":")) return std::nullopt;
  auto second = in.digits(2);
  if (!second) return std::nullopt;
  if (in.accept(".")) {
    auto fraction = in.fraction_nanoseconds();
    if (!fraction) return std::nullopt;
    result.nanosecond = *fraction;
  }
  auto offset = in.offset(minus);
  // Second 60 is the leap second RFC 3339 allows; it counts as the next minute's first.
  if (!offset || !in.at_end() || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;

  result.year = static_cast<int>(date->year());
  result.month = static_cast<int>(static_cast<unsigned>(date->month()));
  result.day = static_cast<int>(static_cast<unsigned>(date->day()));
  result.hour = *hour;
  result.minute = *minute;
  result.second = *second;
  result.offset_seconds = *offset;
  std::int64_t local_seconds = static_cast<std::int64_t>(sys_days{*date}.time_since_epoch().count()) * kSecondsPerDay +
                               result.hour * 3600 + result.minute * 60 + result.second;
  result.unix_milliseconds =
      (local_seconds - result.offset_seconds) * kMillisPerSecond + result.nanosecond / 1'000'000;
  return result;
}

std::optional<std::chrono::year_month_day> parse_full_date(std::string_view text) {
  Reader in(text);
  auto date = in.full_date();
  if (!date || !in.at_end()) return std::nullopt;
  return date;
}

std::optional<DateHourMinute> parse_date_hour_minute(std::string_view text) {
  Reader in(text);
  auto date = in.full_date();
  if (!date || !in.accept("T")) return std::nullopt;
  auto hour = in.digits(2);
  if (!hour || !in.accept(":")) return std::nullopt;
  auto minute = in.digits(2);
  if (!minute || !in.at_end() || *hour > 23 || *minute > 59) return std::nullopt;
  return DateHourMinute{*date, *hour, *minute};
}

std::optional<std::string> format_rfc3339_utc_millis(std::int64_t unix_milliseconds) {
  std::int64_t seconds = unix_milliseconds / kMillisPerSecond;
  std::int64_t millis = unix_milliseconds % kMillisPerSecond;
  if (millis < 0) {
    millis += kMillisPerSecond;
    --seconds;
  }
  return format_utc(seconds, static_cast<int>(millis));
}

std::optional<std::string> format_rfc3339_utc_seconds(std::int64_t unix_seconds) {
  return format_utc(unix_seconds, 0);
}

}  // namespace bridge
