#pragma once

// Recurrence rules between the calendar database and the bridge. A rule read
// from a stored item keeps the platform's rule in its origin, so a copy of it
// handed back is written as a copy of the stored rule with only its end
// replaced: that keeps what a new rule cannot be given (its first weekday).

#import <EventKit/EventKit.h>

#include "platform/recurrence.h"

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

RecurrenceRule rule_of(EKRecurrenceRule* rule);
EKRecurrenceRule* ek_rule(const RecurrenceRule& rule);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
