#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform {

// Colour components in the sRGB space; extended-range values may leave 0...1.
struct RgbComponents {
  double red = 0, green = 0, blue = 0;
  friend bool operator==(const RgbComponents&, const RgbComponents&) = default;
};

// A calendar's colour. `srgb` is what colorUsingColorSpace: with the sRGB space gives:
// nothing when the colour has no sRGB form.
struct Color {
  std::optional<RgbComponents> srgb;
};

// The account that holds calendars.
struct Source {
  std::string title;
};

// An event calendar or a reminder list.
struct Calendar {
  std::string identifier;  // calendarIdentifier
  std::string title;
  Color color;
  std::optional<Source> source;
  bool allows_content_modifications = true;
};

using CalendarRef = std::shared_ptr<const Calendar>;

enum class EntityType : int { event = 0, reminder = 1 };

// authorizationStatusForEntityType:'s answer, named as EKAuthorizationStatus names
// its values. A platform may answer a number outside them; it is none of them.
enum class AuthorizationStatus : int { notDetermined = 0, restricted = 1, denied = 2, fullAccess = 3, writeOnly = 4 };

struct Error {
  std::string localized_description;
};

// Whatever a backend keeps about where an item came from, so a write can keep
// what the bridge does not understand. The logic never looks inside.
struct ItemOrigin {
  virtual ~ItemOrigin() = default;
};

}  // namespace platform
