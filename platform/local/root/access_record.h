#pragma once

// The permission record of the local store: access.json in the root, holding the
// authorization status per kind of data and how an access request is answered.

#include <optional>
#include <string>

#include "platform/calendar.h"
#include "platform/local/files/sys_file.h"

namespace platform::local {

// How the person at the machine answers an access request ("prompt").
struct AccessPrompt {
  enum class Kind { grant, deny, error, ignore, drop };
  Kind kind = Kind::grant;
  std::string error_text;  // with Kind::error
};

struct AccessRecord {
  AuthorizationStatus events = AuthorizationStatus::notDetermined;
  AuthorizationStatus reminders = AuthorizationStatus::notDetermined;
  AccessPrompt prompt;

  AuthorizationStatus status(EntityType type) const { return type == EntityType::event ? events : reminders; }
};

// Reads access.json; a missing file, key or unreadable value counts as status 0
// and the default prompt. Opens nothing but that one file.
AccessRecord read_access_record(const std::string& root);

// Sets one status and keeps every other key, replacing the file atomically,
// under the user's lock of the record (waited for a few seconds at most). The
// message of what failed.
Expected<Done, Error> write_authorization_status(const std::string& root, EntityType type, AuthorizationStatus status);

}  // namespace platform::local
