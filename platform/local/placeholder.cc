// Temporary definition until the local store lands.
#include "platform/platform.h"
namespace platform {
std::unique_ptr<Platform> make_default_platform() { return nullptr; }
}  // namespace platform
