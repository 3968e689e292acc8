#!/usr/bin/env bash
# Installs what the whole-process benchmarks need besides the build: the timing
# tools and the peers they are compared with. Kept apart from setup.sh so that CI
# does not install the peers. Safe to run again.
set -euo pipefail
exec "$(dirname "$0")/setup.sh" hyperfine time khal todoman valgrind
