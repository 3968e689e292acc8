#pragma once

// Arrays handed to the calendar database, built in one go from their elements.

#import <Foundation/Foundation.h>

#include <vector>

NS_ASSUME_NONNULL_BEGIN

namespace platform::eventkit {

NSArray* ns_array(const std::vector<id>& elements);

}  // namespace platform::eventkit

NS_ASSUME_NONNULL_END
