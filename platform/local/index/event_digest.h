#pragma once

// A file's events in the index's compact form: what an event query needs of an
// unchanged file, so that it is neither read nor parsed. Only what holds on any
// machine zone is kept (the lengths are settled again when read back).

#include <optional>
#include <string>
#include <string_view>

#include "platform/date.h"
#include "platform/local/events/file_events.h"

namespace platform::local {

// Nothing when some part has no exact compact form: a time read in one of the
// file's own VTIMEZONEs, or a rule that would not read back the same.
std::optional<std::string> event_digest_of(const FileEvents& events);
// Nothing when the bytes do not read as a digest of this version.
std::optional<FileEvents> events_from_digest(std::string_view digest);

}  // namespace platform::local
