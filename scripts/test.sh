#!/usr/bin/env bash
# Sets up, builds and runs every test, then type-checks the macOS backend (a few
# minutes). With --full it also runs the whole suite again built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target briefly.
# Fails on the first failing test or sanitizer or fuzzer finding.
#
#   scripts/test.sh [--full]
set -euo pipefail
cd "$(dirname "$0")/.."
full=0
case "${1:-}" in
  --full) full=1 ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--full]" >&2; exit 2 ;;
esac

scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
# The macOS backend cannot build here: type-check it against its declarations.
scripts/check-eventkit.sh
((full)) || exit 0

# Any sanitizer report aborts the process, so the test that ran it fails (a bare
# exit status 1 could pass for the bridge's own failure answer).
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
# The benchmarks are built here too, so that a change of an interface they use
# cannot leave them behind unnoticed.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIDGE_SANITIZE=ON \
  -DBRIDGE_BENCH=ON >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

fuzz/run.sh "${FUZZ_SECONDS:-30}"
