#pragma once

#include <string>

namespace platform::local {

// A fresh random (version 4) UUID in lower case with hyphens.
std::string random_uuid();

}  // namespace platform::local
