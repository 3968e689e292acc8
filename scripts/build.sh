#!/usr/bin/env bash
# Configures and builds into build/ (the executable is build/calendar-bridge).
# The demo and the tests build the same way, warnings as errors, so the second
# of them reuses the first one's build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIDGE_WERROR=ON "$@" >/dev/null
cmake --build build
