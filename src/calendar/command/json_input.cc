#include "calendar/command/json_input.h"

#include <array>
#include <istream>
#include <streambuf>

#include "system/sys_call.h"

namespace bridge {
namespace {

// Builds the value with the library's own DOM builder and refuses deep nesting
// as soon as it is seen, so reading stops there.
class NestingLimitedBuilder : public nlohmann::json_sax<Json> {
 public:
  explicit NestingLimitedBuilder(Json& result) : dom_(result, false) {}

  bool null() override { return dom_.null(); }
  bool boolean(bool value) override { return dom_.boolean(value); }
  bool number_integer(number_integer_t value) override { return dom_.number_integer(value); }
  bool number_unsigned(number_unsigned_t value) override { return dom_.number_unsigned(value); }
  bool number_float(number_float_t value, const string_t& text) override { return dom_.number_float(value, text); }
  bool string(string_t& value) override { return dom_.string(value); }
  bool binary(binary_t& value) override { return dom_.binary(value); }
  bool key(string_t& value) override { return dom_.key(value); }
  bool start_object(std::size_t elements) override { return enter() && dom_.start_object(elements); }
  bool end_object() override { return leave() && dom_.end_object(); }
  bool start_array(std::size_t elements) override { return enter() && dom_.start_array(elements); }
  bool end_array() override { return leave() && dom_.end_array(); }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) override {
    return dom_.parse_error(position, token, error);
  }

 private:
  bool enter() { return ++depth_ < kParameterNestingLimit; }
  bool leave() {
    --depth_;
    return true;
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom_;
  int depth_ = 0;
};

// The parser takes a NUL byte for the end of the input, so a value followed by
// one would pass for a whole document. No JSON text holds a NUL anywhere (not
// even inside a string, where control characters must be escaped), so input that
// holds one is unreadable.
bool holds_nul(std::string_view bytes) { return bytes.find('\0') != std::string_view::npos; }

// A stream buffer over a descriptor that remembers whether reading failed or
// met a NUL byte, since the parser sees either only as the end of the input.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd) {}
  bool failed() const { return failed_; }

 protected:
  int_type underflow() override {
    if (failed_) return traits_type::eof();
    auto read = sys::read_some(fd_, chunk_.data(), chunk_.size(), "");
    if (!read.ok()) failed_ = true;
    if (!read.ok() || read.value() == 0) return traits_type::eof();
    if (holds_nul(std::string_view(chunk_.data(), read.value()))) {
      failed_ = true;
      return traits_type::eof();
    }
    setg(chunk_.data(), chunk_.data(), chunk_.data() + read.value());
    return traits_type::to_int_type(chunk_[0]);
  }

 private:
  int fd_;
  bool failed_ = false;
  std::array<char, 65536> chunk_{};
};

template <typename Parse>
Json parameters_or_empty(Parse parse) {
  Json result;
  NestingLimitedBuilder builder(result);
  if (!parse(builder)) return Json::object();
  return result;
}

}  // namespace

Json read_parameters(std::string_view bytes) {
  if (holds_nul(bytes)) return Json::object();
  return parameters_or_empty(
      [&](NestingLimitedBuilder& builder) { return Json::sax_parse(bytes.begin(), bytes.end(), &builder); });
}

Json read_parameters_from(int fd) {
  DescriptorBuffer buffer(fd);
  std::istream stream(&buffer);
  Json result = parameters_or_empty([&](NestingLimitedBuilder& builder) { return Json::sax_parse(stream, &builder); });
  if (buffer.failed()) return Json::object();
  return result;
}

}  // namespace bridge
