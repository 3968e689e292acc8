#pragma once

// Lenient lookups in the request: a non-object request or a missing key finds
// nothing, and a value of the wrong type counts as missing.

#include <optional>
#include <string_view>

#include "calendar/command/command_outcome.h"

namespace bridge {

// The value under `key`, or nullptr.
inline const Json* find_param(const Json& params, std::string_view key) {
  if (!params.is_object()) return nullptr;
  auto found = params.find(key);
  return found == params.end() ? nullptr : &*found;
}

// The text under `key`, or nothing when absent or not a text.
inline std::optional<std::string_view> text_param(const Json& params, std::string_view key) {
  const Json* value = find_param(params, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return std::string_view(value->get_ref<const std::string&>());
}

}  // namespace bridge
