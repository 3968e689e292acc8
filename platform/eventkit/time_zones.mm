#include "platform/eventkit/time_zones.h"

#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {

TimeZone TimeZones::remember(NSTimeZone* zone) {
  std::string name = text_of(required(zone.name, "NSTimeZone name"));
  by_name_.insert_or_assign(name, zone);
  return TimeZone::named(std::move(name));
}

NSTimeZone* _Nullable TimeZones::object_for(const TimeZone& zone) {
  if (std::optional<int> offset = zone.fixed_offset_seconds()) {
    return [NSTimeZone timeZoneForSecondsFromGMT:static_cast<NSInteger>(*offset)];
  }
  auto found = by_name_.find(zone.name());
  return found == by_name_.end() ? nil : found->second;
}

}  // namespace platform::eventkit
