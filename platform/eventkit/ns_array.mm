#include "platform/eventkit/ns_array.h"

#include "platform/eventkit/nil_guard.h"

namespace platform::eventkit {

NSArray* ns_array(const std::vector<id>& elements) {
  return required([[NSArray alloc] initWithObjects:elements.data() count:elements.size()],
                  "NSArray initWithObjects:count:");
}

}  // namespace platform::eventkit
