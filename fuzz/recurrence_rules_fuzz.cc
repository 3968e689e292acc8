// Repetition rules from a request: the input is read as the parameters JSON; its
// "recurrenceRules" value (or the whole value) is built into rules, each built rule
// is turned back into its record, and the rules are built once more with the first
// result as the stored rules, so the reuse path runs too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "calendar/command/json_input.h"
#include "calendar/reminder_recurrence/rule_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bridge::Json params = bridge::read_parameters(std::string_view(reinterpret_cast<const char*>(data), size));
  const bridge::Json& value =
      params.is_object() && params.contains("recurrenceRules") ? params["recurrenceRules"] : params;

  if (value.is_array()) {
    for (const auto& rule : value) (void)bridge::depends_on_first_weekday(rule);
  }
  auto built = bridge::build_recurrence_rules(value, std::nullopt);
  if (built.ok()) {
    for (const auto& rule : built.value()) (void)bridge::rule_to_record(rule).dump();
    auto again = bridge::build_recurrence_rules(value, built.value());
    if (again.ok()) {
      for (const auto& rule : again.value()) (void)bridge::rule_to_record(rule).dump();
    }
  }
  return 0;
}
