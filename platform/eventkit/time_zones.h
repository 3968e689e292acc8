#pragma once

// Time zones between the calendar database and the bridge. The bridge only
// names zones it was given, so every named zone handed out is kept here and
// found again by its name; offset zones are made afresh.

#import <Foundation/Foundation.h>

#include <map>
#include <string>

#include "platform/date.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

class TimeZones {
 public:
  // The zone by its name; kept so the same object serves the name later.
  TimeZone remember(NSTimeZone* zone);
  // Nil for a name never handed out, or an offset the platform has no zone for.
  NSTimeZone* _Nullable object_for(const TimeZone& zone);

 private:
  std::map<std::string, NSTimeZone*> by_name_;
};

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
