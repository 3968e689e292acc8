#include "calendar/reminders/field_changes.h"

#include "calendar/command/request_params.h"

namespace bridge::reminders {
namespace {

enum class NumberKind { non_negative_integer, negative_integer, floating_point };

// The JSON library keeps parsed non-negative integers unsigned and negative ones
// signed, but a built value may hold a non-negative integer signed: go by value.
NumberKind kind_of(const Json& number) {
  if (number.is_number_float()) return NumberKind::floating_point;
  if (number.is_number_unsigned()) return NumberKind::non_negative_integer;
  return number.get<std::int64_t>() < 0 ? NumberKind::negative_integer : NumberKind::non_negative_integer;
}

bool same_number(const Json& a, const Json& b) {
  NumberKind kind = kind_of(a);
  if (kind != kind_of(b)) return false;
  switch (kind) {
    case NumberKind::non_negative_integer:
      return a.get<std::uint64_t>() == b.get<std::uint64_t>();
    case NumberKind::negative_integer:
      return a.get<std::int64_t>() == b.get<std::int64_t>();
    case NumberKind::floating_point:
      return a.get<double>() == b.get<double>();
  }
  return false;
}

bool same_value(const Json& a, const Json& b) {
  if (a.is_number() && b.is_number()) return same_number(a, b);
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Json::value_t::null:
      return true;
    case Json::value_t::boolean:
      return a.get<bool>() == b.get<bool>();
    case Json::value_t::string:
      return a.get_ref<const std::string&>() == b.get_ref<const std::string&>();
    case Json::value_t::array: {
      if (a.size() != b.size()) return false;
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same_value(a[i], b[i])) return false;
      }
      return true;
    }
    case Json::value_t::object: {
      if (a.size() != b.size()) return false;
      for (auto it = a.begin(); it != a.end(); ++it) {
        auto other = b.find(it.key());
        if (other == b.end() || !same_value(it.value(), *other)) return false;
      }
      return true;
    }
    default:
      return false;  // binary values never come from a parsed request
  }
}

}  // namespace

bool differs_from_previous(const Json& params, std::string_view key) {
  const Json* previous = find_param(params, "previousFields");
  if (previous == nullptr || previous->is_null()) return true;
  static const Json kNull = nullptr;
  const Json* requested = find_param(params, key);
  const Json* synchronised = find_param(*previous, key);
  return !same_value(requested ? *requested : kNull, synchronised ? *synchronised : kNull);
}

}  // namespace bridge::reminders
